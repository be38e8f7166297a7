#include "brushedmetal.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace relaybox {

namespace {

// A fixed generator, so the faceplate looks the same on every start and in every test.
class Noise
{
public:
    float next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return static_cast<float>(m_state >> 8) / static_cast<float>(1u << 24) * 2.0f - 1.0f;
    }

private:
    std::uint32_t m_state = 0x2545F491u;
};

// Smears noise along a row (wrapping), which turns specks into the long strokes of brushing.
std::vector<float> smeared(const std::vector<float> &row, int radius)
{
    const int n = static_cast<int>(row.size());
    auto wrapped = [&](int i) {
        return row[((i % n) + n) % n];
    };
    std::vector<float> out(n);
    float sum = 0;
    for (int i = -radius; i <= radius; ++i)
        sum += wrapped(i);
    for (int i = 0; i < n; ++i) {
        out[i] = sum / static_cast<float>(2 * radius + 1);
        sum += wrapped(i + radius + 1) - wrapped(i - radius);
    }
    return out;
}

int channel(int base, float delta)
{
    return std::clamp(static_cast<int>(static_cast<float>(base) + delta + 0.5f), 0, 255);
}

} // namespace

QImage BrushedMetal::texture(QSize size, qreal devicePixelRatio, QColor base)
{
    const QSize device = size * devicePixelRatio;
    QImage image(device, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    if (device.isEmpty())
        return image;

    Noise noise;
    const int width = device.width();
    const int streak = std::max(4, static_cast<int>(40 * devicePixelRatio));
    std::vector<float> row(width);
    for (int y = 0; y < device.height(); ++y) {
        for (float &v : row)
            v = noise.next();
        const std::vector<float> longGrain = smeared(smeared(row, streak), streak / 2);
        const float rowShade = noise.next() * 3.0f;
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const float delta = rowShade + longGrain[x] * 55.0f + noise.next() * 1.6f;
            line[x] = qRgb(channel(base.red(), delta), channel(base.green(), delta),
                           channel(base.blue(), delta * 1.1f));
        }
    }
    return image;
}

} // namespace relaybox
