#pragma once

#include <QStringList>
#include <deque>

#include "platform/operatordialogs.h"

// Message boxes and file dialogs answered by the test: every message is recorded as
// "title|text", answers come from queues (OK and no file when a queue is empty).

namespace relaybox::testing {

class ScriptedDialogs final : public OperatorDialogs
{
public:
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

    std::optional<QString> openFileName(const QString &filter, const QString &,
                                        const QString &) override
    {
        filters << filter;
        return next();
    }

    std::optional<QString> saveFileName(const QString &filter, const QString &,
                                        const QString &) override
    {
        filters << filter;
        return next();
    }

    QStringList messages;
    std::vector<MessageIcon> icons;
    QStringList filters;
    std::deque<MessageAnswer> answers;
    std::deque<std::optional<QString>> files;
    std::function<void()> onMessage; // runs while the "box" is open

private:
    std::optional<QString> next()
    {
        if (files.empty())
            return std::nullopt;
        auto file = files.front();
        files.pop_front();
        return file;
    }
};

} // namespace relaybox::testing
