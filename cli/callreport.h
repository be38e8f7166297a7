#pragma once

#include <optional>
#include <string>

// What one call prints, held until the port is closed so that a script that reacts to it finds
// the port free. For people: the result on stdout and each diagnostic as one line on stderr. With
// --json: exactly one object on stdout that always carries "command" and "exit".

namespace relaybox::cli {

class CallReport
{
public:
    CallReport(bool json, const std::string &command); // command empty: "command": null

    // "key": value after the fields added before; value is JSON text.
    void add(const std::string &key, const std::string &value);

    int done(const std::string &text); // exit 0: the text for people, or the object
    // The message for stderr, and the object with "error" (the message unless given).
    int fail(int exit, const std::string &message, const std::optional<std::string> &error = {});

    void print() const;

private:
    bool m_json;
    std::string m_fields;
    int m_exit = 0;
    std::string m_out;
    std::string m_err;
};

} // namespace relaybox::cli
