#pragma once

#include <QString>
#include <optional>

// Message boxes and file dialogs, behind an interface so that tests can answer them.

namespace relaybox {

enum class MessageIcon { None, Information, Warning, Error };
enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };

class OperatorDialogs
{
public:
    virtual ~OperatorDialogs() = default;

    // A modal message box. In texts, a carriage return ("\r") breaks the line.
    virtual MessageAnswer message(const QString &title, const QString &text, MessageIcon icon,
                                  MessageButtons buttons = MessageButtons::Ok) = 0;

    // Filters are written "description|pattern|description|pattern".
    virtual std::optional<QString> openFileName(const QString &filter,
                                                const QString &defaultSuffix = {},
                                                const QString &fileName = {}) = 0;
    virtual std::optional<QString> saveFileName(const QString &filter,
                                                const QString &defaultSuffix = {},
                                                const QString &fileName = {}) = 0;
};

} // namespace relaybox
