#include "glow.h"

#include <algorithm>
#include <vector>

namespace relaybox {

namespace {

// One box-blur pass along a line of premultiplied pixels, channel by channel, edges clamped.
void blurLine(QRgb *line, int count, int stride, int radius, std::vector<QRgb> &scratch)
{
    scratch.resize(count);
    for (int i = 0; i < count; ++i)
        scratch[i] = line[i * stride];
    const int window = 2 * radius + 1;
    int sum[4] = {};
    auto add = [&](QRgb p, int sign) {
        sum[0] += sign * qAlpha(p);
        sum[1] += sign * qRed(p);
        sum[2] += sign * qGreen(p);
        sum[3] += sign * qBlue(p);
    };
    auto at = [&](int i) {
        return scratch[std::clamp(i, 0, count - 1)];
    };
    for (int i = -radius; i <= radius; ++i)
        add(at(i), 1);
    for (int i = 0; i < count; ++i) {
        line[i * stride] =
            qRgba(sum[1] / window, sum[2] / window, sum[3] / window, sum[0] / window);
        add(at(i + radius + 1), 1);
        add(at(i - radius), -1);
    }
}

} // namespace

QImage blurred(const QImage &source, int radius)
{
    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (radius < 1 || image.isNull())
        return image;
    std::vector<QRgb> scratch;
    const int width = image.width();
    const int height = image.height();
    const int stride = static_cast<int>(image.bytesPerLine() / sizeof(QRgb));
    auto *pixels = reinterpret_cast<QRgb *>(image.bits());
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < height; ++y)
            blurLine(pixels + y * stride, width, 1, radius, scratch);
        for (int x = 0; x < width; ++x)
            blurLine(pixels + x, height, stride, radius, scratch);
    }
    return image;
}

} // namespace relaybox
