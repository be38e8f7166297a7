#pragma once

#include <QDialog>

// The About box.

namespace relaybox {

class TForm2 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm2(QWidget *parent = nullptr);
};

} // namespace relaybox
