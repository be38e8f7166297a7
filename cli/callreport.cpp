#include "cli/callreport.h"

#include <cstdio>

#include "cli/json.h"

namespace relaybox::cli {

CallReport::CallReport(bool json, const std::string &command)
    : m_json(json)
    , m_fields("\"command\": " + (command.empty() ? std::string("null") : json::quoted(command)))
{ }

void CallReport::add(const std::string &key, const std::string &value)
{
    m_fields += ", " + json::quoted(key) + ": " + value;
}

int CallReport::done(const std::string &text)
{
    m_exit = 0;
    m_out = text;
    return m_exit;
}

int CallReport::fail(int exit, const std::string &message, const std::optional<std::string> &error)
{
    m_exit = exit;
    m_err = "relaybox-cli: " + message + "\n";
    add("error", json::quoted(error.value_or(message)));
    return m_exit;
}

void CallReport::print() const
{
    if (m_json)
        std::printf("{%s, \"exit\": %d}\n", m_fields.c_str(), m_exit);
    else
        std::fputs(m_out.c_str(), stdout);
    std::fputs(m_err.c_str(), stderr);
    std::fflush(stdout);
}

} // namespace relaybox::cli
