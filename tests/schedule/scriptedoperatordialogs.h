#pragma once

#include <QList>
#include <QQueue>
#include <QString>

#include "platform/operatordialogs.h"

namespace relaybox {

// Answers message boxes and file dialogs from a script and records what was asked.
class ScriptedOperatorDialogs final : public OperatorDialogs
{
public:
    struct Message
    {
        QString title;
        QString text;
        MessageIcon icon = MessageIcon::None;
        MessageButtons buttons = MessageButtons::Ok;
    };
    struct FileRequest
    {
        QString filter;
        QString defaultSuffix;
        QString fileName;
    };

    MessageAnswer message(const QString &title, const QString &text, MessageIcon icon,
                          MessageButtons buttons) override
    {
        messages.append({ title, text, icon, buttons });
        return answers.isEmpty() ? MessageAnswer::Ok : answers.dequeue();
    }

    std::optional<QString> openFileName(const QString &filter, const QString &defaultSuffix,
                                        const QString &fileName) override
    {
        openRequests.append({ filter, defaultSuffix, fileName });
        return openNames.isEmpty() ? std::nullopt : openNames.dequeue();
    }

    std::optional<QString> saveFileName(const QString &filter, const QString &defaultSuffix,
                                        const QString &fileName) override
    {
        saveRequests.append({ filter, defaultSuffix, fileName });
        return saveNames.isEmpty() ? std::nullopt : saveNames.dequeue();
    }

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const Message &message : messages)
            texts.append(message.text);
        return texts;
    }

    QQueue<MessageAnswer> answers; // Ok when empty
    QQueue<std::optional<QString>> openNames; // cancelled when empty
    QQueue<std::optional<QString>> saveNames;

    QList<Message> messages;
    QList<FileRequest> openRequests;
    QList<FileRequest> saveRequests;
};

} // namespace relaybox
