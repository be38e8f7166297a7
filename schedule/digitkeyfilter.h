#pragma once

#include <QObject>

namespace relaybox {

// Key filter of the hour and minute fields: digits, backspace and "." pass, Enter moves the
// focus to the next control, other typed characters are dropped. Keys that type nothing
// (arrows, Delete, Tab) keep their usual meaning.
class DigitKeyFilter : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    void enterPressed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace relaybox
