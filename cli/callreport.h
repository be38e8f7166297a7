#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

// What one call prints, held until the port is closed so that a script that reacts to it finds
// the port free. For people: the result on stdout and each diagnostic as one line on stderr. With
// --json: exactly one object on stdout that always carries "command" and "exit".

namespace relaybox::cli {

using Json = nlohmann::ordered_json;

class CallReport
{
public:
    CallReport(bool json, const std::string &command); // command empty: "command": null

    void add(const std::string &key, Json value); // after the fields added before

    int done(const std::string &text); // exit 0: the text for people, or the object
    // The message for stderr, and the object with "error" (the message unless given).
    int fail(int exit, const std::string &message, const std::optional<std::string> &error = {});

    void print() const;

private:
    bool m_json;
    Json m_object;
    int m_exit = 0;
    std::string m_out;
    std::string m_err;
};

// Seconds as the JSON carries them: rounded to the millisecond.
double jsonSeconds(std::chrono::milliseconds duration);

} // namespace relaybox::cli
