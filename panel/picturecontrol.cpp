#include "picturecontrol.h"

#include <QMouseEvent>

namespace relaybox {

PictureControl::PictureControl(QWidget *parent)
    : QLabel(parent)
{
    setScaledContents(true);
}

void PictureControl::showPicture(const QPixmap &picture)
{
    if (pixmap().cacheKey() != picture.cacheKey())
        setPixmap(picture);
}

void PictureControl::setTag(int tag)
{
    m_tag = tag;
    setProperty("Tag", tag);
}

void PictureControl::mousePressEvent(QMouseEvent *event)
{
    emit pressed(m_tag, event->button());
}

void PictureControl::mouseReleaseEvent(QMouseEvent *event)
{
    emit released(m_tag, event->button());
}

} // namespace relaybox
