#include "cli/callreport.h"

#include <cstdio>

namespace relaybox::cli {

CallReport::CallReport(bool json, const std::string &command)
    : m_json(json)
    , m_object({ { "command", command.empty() ? Json(nullptr) : Json(command) } })
{ }

void CallReport::add(const std::string &key, Json value)
{
    m_object[key] = std::move(value);
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
    add("error", error.value_or(message));
    return m_exit;
}

void CallReport::print() const
{
    if (m_json) {
        Json object = m_object;
        object["exit"] = m_exit;
        // Text that is not UTF-8 (a device path) is written with replacement characters.
        std::puts(object.dump(-1, ' ', false, Json::error_handler_t::replace).c_str());
    } else {
        std::fputs(m_out.c_str(), stdout);
    }
    std::fputs(m_err.c_str(), stderr);
    std::fflush(stdout);
}

double jsonSeconds(std::chrono::milliseconds duration)
{
    return double(duration.count()) / 1000.0;
}

} // namespace relaybox::cli
