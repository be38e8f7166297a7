#include "contactsheet.h"

#include "mockpanel.h"
#include "panelart.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <functional>
#include <vector>

namespace relaybox {

namespace {

constexpr int kMargin = 20;
constexpr int kSheetWidth = 2 * kMargin + 3 * 590;
const QColor kWindowGrey(0xd9, 0xd9, 0xd9);

MockPanel firstPanel()
{
    MockPanel panel;
    panel.bank = 7;
    panel.currentImages = { 13, 4 };
    panel.lamps = { 2, 3, 0, 1, 2, 2, 0, 3 };
    panel.pressed = { false, false, true, false, false, false, false, false };
    panel.countdowns = { "", " 1:25", "", "12:30", "", "", "", " 0: 0" };
    return panel;
}

MockPanel secondPanel()
{
    MockPanel panel;
    panel.bank = 8;
    panel.currentImages = { 1, 2 };
    panel.lamps = { 3, 2, 2, 2, 0, 0, 1, 2 };
    panel.countdowns = { " 0:45", "", "", "", "", "", " 1:25", "" };
    panel.menuSunken = true;
    return panel;
}

MockPanel thirdPanel()
{
    MockPanel panel;
    panel.bank = 16;
    panel.currentImages = { 10, 0 };
    panel.lamps = { 0, 0, 0, 0, 0, 0, 0, 0 };
    return panel;
}

class Sheet
{
public:
    explicit Sheet(QPainter &painter)
        : m_painter(painter)
    { }

    void heading(const QString &text)
    {
        QFont font;
        font.setPixelSize(16);
        font.setBold(true);
        m_painter.setFont(font);
        m_painter.setPen(QColor(0x20, 0x20, 0x20));
        m_y += 10;
        m_painter.drawText(QPoint(kMargin, m_y + 16), text);
        m_y += 26;
    }

    // Draws a picture pixel for pixel, whatever its device pixel ratio.
    void place(int x, const QImage &image)
    {
        m_painter.drawImage(QRect(QPoint(x, m_y), image.size()), image);
    }

    void advance(int height) { m_y += height + 8; }
    int y() const { return m_y; }

private:
    QPainter &m_painter;
    int m_y = kMargin;
};

QImage magnified(const QImage &image, int factor)
{
    QImage out = image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    out.setDevicePixelRatio(1);
    return out;
}

QImage stack(const PanelArt &art, const std::vector<MockPanel> &panels)
{
    const qreal ratio = art.devicePixelRatio();
    const int height = static_cast<int>(panels.size()) * 109 - 10;
    QImage image(QSize(590, height) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(kWindowGrey);
    QPainter painter(&image);
    for (std::size_t i = 0; i < panels.size(); ++i) {
        const int top = static_cast<int>(i) * 109;
        painter.drawImage(QPoint(0, top), panels[i].render(art));
        if (i + 1 < panels.size())
            painter.drawPixmap(QPoint(0, top + 99), art.separator());
    }
    return image;
}

// Lays a list's pictures side by side with a gap.
QImage row(const std::vector<QPixmap> &pictures, int gap)
{
    int width = 0;
    int height = 0;
    for (const QPixmap &p : pictures) {
        width += p.width() + gap;
        height = std::max(height, p.height());
    }
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_ARGB32_Premultiplied);
    image.fill(kWindowGrey);
    QPainter painter(&image);
    int x = 0;
    for (const QPixmap &p : pictures) {
        painter.drawPixmap(QRect(QPoint(x, 0), p.size()), p);
        x += p.width() + gap;
    }
    return image;
}

struct ListEntry
{
    QString title;
    int count;
    std::function<QPixmap(const PanelArt &, int)> picture;
};

} // namespace

QImage ContactSheet::render()
{
    const PanelArt small(1.0);
    const PanelArt large(3.0);
    const std::vector<MockPanel> panels { firstPanel(), secondPanel(), thirdPanel() };

    const std::vector<ListEntry> lists {
        { "imlLed 21 x 28", 4,
          [](const PanelArt &a, int i) {
              return a.lamp(i);
          } },
        { "imlRLed 50 x 26", 4,
          [](const PanelArt &a, int i) {
              return a.labelledLamp(i);
          } },
        { "ImageList1 27 x 37", 20,
          [](const PanelArt &a, int i) {
              return a.currentDigit(i);
          } },
        { "imlBankNo 29 x 37", 10,
          [](const PanelArt &a, int i) {
              return a.bankDigit(i);
          } },
        { "imlButton 29 x 28 (0 pressed, 1 released)", 2,
          [](const PanelArt &a, int i) {
              return a.portButton(i);
          } },
        { "imLogo 39 x 15 (0 raised, 1 sunken)", 2,
          [](const PanelArt &a, int i) {
              return a.menuButton(i);
          } },
        { "separator 590 x 10", 1,
          [](const PanelArt &a, int) {
              return a.separator();
          } },
        { "faceplate 590 x 99", 1,
          [](const PanelArt &a, int) {
              return a.faceplate();
          } },
    };

    QImage sheet(kSheetWidth, 4200, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(kWindowGrey);
    QPainter painter(&sheet);
    Sheet out(painter);

    out.heading(
        QStringLiteral("Three bank panels as the window places them (1x), and the program icon"));
    const QImage window = stack(small, panels);
    out.place(kMargin, window);
    int iconX = kMargin + 590 + 40;
    for (int size : PanelArt::kIconSizes) {
        const QPixmap icon = small.programIcon().pixmap(QSize(size, size));
        painter.drawPixmap(QPoint(iconX, out.y() + 256 - size), icon);
        iconX += size + 16;
    }
    out.advance(window.height());

    out.heading(QStringLiteral("Alignment: 1x panel magnified 3x, control rectangles outlined"));
    const QImage outlined = magnified(panels[0].render(small, true), 3);
    out.place(kMargin, outlined);
    out.advance(outlined.height());

    out.heading(QStringLiteral("The same panels rendered at 3x"));
    const QImage sharp = stack(large, panels);
    out.place(kMargin, sharp);
    out.advance(sharp.height());

    for (const ListEntry &list : lists) {
        out.heading(list.title + QStringLiteral(": 1x, then 3x"));
        std::vector<QPixmap> ones;
        std::vector<QPixmap> threes;
        for (int i = 0; i < list.count; ++i) {
            ones.push_back(list.picture(small, i));
            threes.push_back(list.picture(large, i));
        }
        const QImage first = row(ones, 6);
        out.place(kMargin, first);
        out.advance(first.height());
        // Ten pictures at 3x to a row, so the twenty current digits stay on the sheet.
        for (std::size_t start = 0; start < threes.size(); start += 10) {
            const auto end = threes.begin() + std::min<std::size_t>(start + 10, threes.size());
            const QImage second = row({ threes.begin() + start, end }, 12);
            out.place(kMargin, second);
            out.advance(second.height());
        }
    }
    painter.end();
    return sheet.copy(0, 0, sheet.width(), out.y() + kMargin);
}

} // namespace relaybox
