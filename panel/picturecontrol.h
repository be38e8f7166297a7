#pragma once

#include <QLabel>

// A picture that stretches its image to its size and reports mouse presses and releases with
// the button, as the panel's buttons and lamps need.

namespace relaybox {

class PictureControl : public QLabel
{
    Q_OBJECT

public:
    explicit PictureControl(QWidget *parent = nullptr);

    // Shows the picture unless it shows it already: the panel redraws its lamps and digits on
    // every tick and reply, and only a picture that changed should cost a repaint.
    void showPicture(const QPixmap &picture);

    // The control's number, as the handlers shared by a family of controls read it.
    int tag() const { return m_tag; }
    void setTag(int tag);

signals:
    void pressed(int tag, Qt::MouseButton button);
    void released(int tag, Qt::MouseButton button);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int m_tag = 0;
};

} // namespace relaybox
