#pragma once

#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "platform/operatordialogs.h"

// Message boxes and file dialogs answered by the test: every message is recorded as
// "title|text" with its icon, every file dialog with what it was given; answers come from queues
// (OK, and no file, when a queue is empty).

namespace relaybox::testing {

class ScriptedDialogs final : public OperatorDialogs
{
public:
    struct FileRequest
    {
        enum Kind { Open, Save } kind = Open;
        QString filter;
        QString defaultSuffix;
        QString fileName;
    };

    MessageAnswer message(const QString &title, const QString &text, MessageIcon icon,
                          MessageButtons) override
    {
        messages << title + QLatin1Char('|') + text;
        icons.push_back(icon);
        if (onMessage)
            onMessage();
        if (answers.empty())
            return MessageAnswer::Ok;
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::optional<QString> openFileName(const QString &filter, const QString &defaultSuffix,
                                        const QString &fileName) override
    {
        fileRequests.append({ FileRequest::Open, filter, defaultSuffix, fileName });
        return nextFile();
    }

    std::optional<QString> saveFileName(const QString &filter, const QString &defaultSuffix,
                                        const QString &fileName) override
    {
        fileRequests.append({ FileRequest::Save, filter, defaultSuffix, fileName });
        return nextFile();
    }

    // The messages' texts without their titles.
    QStringList messageTexts() const
    {
        QStringList texts;
        for (const QString &message : messages)
            texts << message.section(QLatin1Char('|'), 1);
        return texts;
    }

    // The filters the file dialogs were given, in order.
    QStringList filters() const
    {
        QStringList found;
        for (const FileRequest &request : fileRequests)
            found << request.filter;
        return found;
    }

    QStringList messages;
    std::vector<MessageIcon> icons;
    std::deque<MessageAnswer> answers;
    std::function<void()> onMessage; // runs while the "box" is open

    QList<FileRequest> fileRequests;
    std::deque<std::optional<QString>> files; // for open and save dialogs alike

private:
    std::optional<QString> nextFile()
    {
        if (files.empty())
            return std::nullopt;
        auto file = files.front();
        files.pop_front();
        return file;
    }
};

} // namespace relaybox::testing
