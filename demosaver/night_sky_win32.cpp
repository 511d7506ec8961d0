#include "night_sky_win32.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>

#include "blend.h"
#include "word_mark_win32.h"

namespace demosaver {
namespace {

constexpr double kPi = 3.14159265358979323846;

unsigned ToGain(double f) { return static_cast<unsigned>(std::clamp(f, 0.0, 1.0) * 256.0 + 0.5); }

// Slow Lissajous paths, in fractions of the frame; radius in fractions of the
// frame's shorter side. Colours are the glow's peak, added onto the sky.
struct OrbPath {
    float cx, cy, ax, ay, wx, wy, phase, radius;
    std::uint32_t color;
};
constexpr OrbPath kOrbs[] = {
    {0.26f, 0.36f, 0.20f, 0.18f, 0.065f, 0.091f, 0.0f, 0.27f, Rgb(18, 104, 122)},  // teal
    {0.70f, 0.30f, 0.22f, 0.16f, 0.055f, 0.078f, 1.7f, 0.23f, Rgb(84, 44, 150)},   // violet
    {0.55f, 0.74f, 0.25f, 0.15f, 0.047f, 0.070f, 3.1f, 0.31f, Rgb(22, 52, 150)},   // deep blue
    {0.16f, 0.76f, 0.12f, 0.14f, 0.080f, 0.058f, 4.4f, 0.18f, Rgb(132, 34, 92)},   // rose
    {0.86f, 0.72f, 0.12f, 0.20f, 0.070f, 0.087f, 2.2f, 0.16f, Rgb(128, 88, 30)},   // amber
    {0.45f, 0.20f, 0.30f, 0.10f, 0.043f, 0.099f, 5.3f, 0.15f, Rgb(28, 112, 72)},   // green
};

constexpr std::uint32_t kStarTints[] = {
    Rgb(205, 218, 255), Rgb(255, 250, 240), Rgb(255, 224, 188), Rgb(172, 192, 255), Rgb(230, 236, 255),
};

// Night sky from top to bottom; the bottom is a touch lighter, like a horizon.
struct GradientStop {
    double at;
    double r, g, b;
};
constexpr GradientStop kSky[] = {
    {0.00, 2, 4, 14},
    {0.55, 6, 11, 34},
    {1.00, 17, 21, 56},
};

// 4x4 ordered dither keeps the gentle gradient free of visible bands.
constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

}  // namespace

bool NightSky::Resize(int width, int height) {
    frame_.reset();
    if (width <= 0 || height <= 0) return false;
    frame_ = std::make_unique<DibSurface>(width, height);
    if (!frame_->valid()) {
        frame_.reset();
        return false;
    }
    BuildBackground();
    BuildOrbs();
    BuildStars();
    wordMark_ = MakeWordMark(std::min(width, height));
    meteor_.active = false;
    return true;
}

void NightSky::BuildBackground() {
    const int h = frame_->height();
    backgroundRows_.assign(static_cast<std::size_t>(h), {});
    for (int y = 0; y < h; ++y) {
        const double at = h > 1 ? static_cast<double>(y) / (h - 1) : 0.0;
        std::size_t i = 1;
        while (i + 1 < std::size(kSky) && at > kSky[i].at) ++i;
        const GradientStop& a = kSky[i - 1];
        const GradientStop& b = kSky[i];
        const double f = std::clamp((at - a.at) / (b.at - a.at), 0.0, 1.0);
        // 8.8 fixed point so the dither can use the fraction.
        const int r = static_cast<int>((a.r + (b.r - a.r) * f) * 256.0);
        const int g = static_cast<int>((a.g + (b.g - a.g) * f) * 256.0);
        const int bl = static_cast<int>((a.b + (b.b - a.b) * f) * 256.0);
        for (int x = 0; x < 4; ++x) {
            const int d = kBayer[y & 3][x] * 16;
            backgroundRows_[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                Rgb(static_cast<unsigned>(std::min(255, (r + d) >> 8)),
                    static_cast<unsigned>(std::min(255, (g + d) >> 8)),
                    static_cast<unsigned>(std::min(255, (bl + d) >> 8)));
        }
    }
}

void NightSky::BuildOrbs() {
    const double shortSide = std::min(frame_->width(), frame_->height());
    orbs_.clear();
    for (const OrbPath& path : kOrbs) {
        const int radius = std::max(2, static_cast<int>(path.radius * shortSide));
        const double r2 = static_cast<double>(radius) * radius;
        orbs_.push_back(MakeSprite(2 * radius + 1, 2 * radius + 1, [&](int x, int y) {
            const double dx = x - radius, dy = y - radius;
            const double u = 1.0 - (dx * dx + dy * dy) / r2;
            if (u <= 0) return 0u;
            // Soft body with a slightly brighter heart.
            const double glow = 0.82 * u * u * u + 0.18 * std::pow(u, 12.0);
            return static_cast<unsigned>(Scale(path.color, ToGain(glow)));
        }));
    }
}

void NightSky::BuildStars() {
    const long long area = static_cast<long long>(frame_->width()) * frame_->height();
    const std::size_t count = static_cast<std::size_t>(std::clamp(area / 2400, 14LL, 2000LL));
    random_ = 0x2545F491u;  // same sky every time
    stars_.clear();
    stars_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        Star s{};
        s.x = NextRandom();
        s.y = NextRandom();
        const float depth = NextRandom();
        s.speed = 0.0015f + 0.004f * depth * depth;
        const float b = NextRandom();
        s.brightness = 0.32f + 0.68f * b * b * b;
        s.twinkleRate = 0.6f + 2.2f * NextRandom();
        s.twinklePhase = static_cast<float>(2 * kPi) * NextRandom();
        s.tint = kStarTints[static_cast<std::size_t>(NextRandom() * std::size(kStarTints)) % std::size(kStarTints)];
        stars_.push_back(s);
    }
}

float NightSky::NextRandom() {
    // xorshift32: deterministic and plenty for placing stars.
    random_ ^= random_ << 13;
    random_ ^= random_ >> 17;
    random_ ^= random_ << 5;
    return static_cast<float>(random_ >> 8) / static_cast<float>(1u << 24);
}

void NightSky::Step(double seconds) {
    time_ += seconds;
    for (Star& s : stars_) {
        s.x -= s.speed * static_cast<float>(seconds);
        if (s.x < 0) s.x += 1;
    }
    if (meteor_.active) {
        meteor_.x += meteor_.vx * static_cast<float>(seconds);
        meteor_.y += meteor_.vy * static_cast<float>(seconds);
        meteor_.age += static_cast<float>(seconds);
        meteor_.active = meteor_.age < meteor_.life;
    } else if (time_ >= nextMeteor_ && frame_) {
        LaunchMeteor();
    }
}

void NightSky::LaunchMeteor() {
    const float w = static_cast<float>(frame_->width()), h = static_cast<float>(frame_->height());
    const float speed = 0.7f * std::min(w, h);
    const float angle = 0.35f + 0.35f * NextRandom();  // shallow, downwards
    const float direction = NextRandom() < 0.5f ? -1.0f : 1.0f;
    meteor_.active = true;
    meteor_.x = w * (0.2f + 0.6f * NextRandom());
    meteor_.y = h * (0.05f + 0.4f * NextRandom());
    meteor_.vx = direction * speed * std::cos(angle);
    meteor_.vy = speed * std::sin(angle);
    meteor_.age = 0;
    meteor_.life = 0.9f + 0.5f * NextRandom();
    nextMeteor_ = time_ + 14.0 + 20.0 * NextRandom();
}

void NightSky::Render() {
    if (!frame_) return;
    ::GdiFlush();  // the previous blit must be done before we touch the bits
    FillBackground();
    DrawOrbs();
    DrawStars();
    DrawMeteor();
    DrawWordMark();
}

void NightSky::FillBackground() {
    const int w = frame_->width(), h = frame_->height();
    for (int y = 0; y < h; ++y) {
        const auto& pattern = backgroundRows_[static_cast<std::size_t>(y)];
        std::uint32_t* row = frame_->row(y);
        int x = 0;
#if defined(__SSE2__)
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern.data()));
        for (; x + 4 <= w; x += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), four);
#endif
        for (; x + 4 <= w; x += 4) {
            row[x] = pattern[0];
            row[x + 1] = pattern[1];
            row[x + 2] = pattern[2];
            row[x + 3] = pattern[3];
        }
        for (; x < w; ++x) row[x] = pattern[static_cast<std::size_t>(x & 3)];
    }
}

void NightSky::DrawOrbs() {
    const double w = frame_->width(), h = frame_->height();
    const unsigned gain = ToGain(time_ / 2.0);  // fade in when the saver starts
    for (std::size_t i = 0; i < orbs_.size(); ++i) {
        const OrbPath& path = kOrbs[i];
        const double cx = (path.cx + path.ax * std::sin(path.wx * time_ + path.phase)) * w;
        const double cy = (path.cy + path.ay * std::sin(path.wy * time_ + path.phase * 1.3)) * h;
        const Sprite& s = orbs_[i];
        AddSprite(s, static_cast<int>(std::lround(cx)) - s.width / 2, static_cast<int>(std::lround(cy)) - s.height / 2,
                  gain);
    }
}

void NightSky::DrawStars() {
    const float w = static_cast<float>(frame_->width()), h = static_cast<float>(frame_->height());
    const bool roomy = std::min(w, h) >= 300;  // no sparkles in the tiny preview
    for (const Star& s : stars_) {
        const float twinkle = 0.72f + 0.28f * std::sin(s.twinklePhase + s.twinkleRate * static_cast<float>(time_));
        const float level = s.brightness * twinkle;
        const std::uint32_t color = Scale(s.tint, ToGain(level));
        const float x = s.x * w, y = s.y * h;
        AddPoint(x, y, color);
        if (roomy && s.brightness > 0.7f) {
            const std::uint32_t ray = Scale(color, 80);
            AddPoint(x - 1, y, ray);
            AddPoint(x + 1, y, ray);
            AddPoint(x, y - 1, ray);
            AddPoint(x, y + 1, ray);
        }
    }
}

void NightSky::DrawMeteor() {
    if (!meteor_.active) return;
    const float shortSide = static_cast<float>(std::min(frame_->width(), frame_->height()));
    const float speed = std::hypot(meteor_.vx, meteor_.vy);
    const float dx = meteor_.vx / speed, dy = meteor_.vy / speed;
    const int tail = std::max(4, static_cast<int>(0.14f * shortSide));
    const float fade = std::sin(static_cast<float>(kPi) * meteor_.age / meteor_.life);
    constexpr std::uint32_t kColor = Rgb(225, 235, 255);
    // Half-pixel steps at a bit over half strength: a continuous streak
    // rather than a dotted one.
    const int steps = 2 * tail;
    for (int i = 0; i < steps; ++i) {
        const float back = 0.5f * static_cast<float>(i);
        const float along = 1.0f - static_cast<float>(i) / static_cast<float>(steps);
        AddPoint(meteor_.x - dx * back, meteor_.y - dy * back, Scale(kColor, ToGain(0.6f * fade * along * along)));
    }
}

void NightSky::DrawWordMark() {
    const Sprite& s = wordMark_;
    if (s.width == 0) return;
    const double w = frame_->width(), h = frame_->height();
    // Keep the whole word on the frame while it wanders.
    const double roomX = std::max(0.0, (w - s.width) / 2.0) * 0.85;
    const double roomY = std::max(0.0, (h - s.height) / 2.0) * 0.80;
    const double cx = w / 2 + roomX * std::sin(0.031 * time_ + 0.4);
    const double cy = h / 2 + roomY * std::sin(0.043 * time_);
    const double breath = 0.80 + 0.20 * std::sin(0.5 * time_);
    const double fadeIn = std::min(1.0, time_ / 2.5);
    AddSprite(s, static_cast<int>(std::lround(cx - s.width / 2.0)), static_cast<int>(std::lround(cy - s.height / 2.0)),
              ToGain(breath * fadeIn));
}

void NightSky::AddSprite(const Sprite& sprite, int left, int top, unsigned gain) {
    const int w = frame_->width(), h = frame_->height();
    const int y0 = std::max(0, -top), y1 = std::min(sprite.height, h - top);
    for (int sy = y0; sy < y1; ++sy) {
        const auto& span = sprite.spans[static_cast<std::size_t>(sy)];
        const int x0 = std::max(span[0], -left), x1 = std::min(span[1], w - left);
        if (x0 >= x1) continue;
        const std::uint32_t* src =
            sprite.pixels.data() + static_cast<std::size_t>(sy) * static_cast<std::size_t>(sprite.width);
        std::uint32_t* dst = frame_->row(top + sy) + left;
        if (gain >= 256)
            AddRow(dst + x0, src + x0, x1 - x0);
        else
            AddRowScaled(dst + x0, src + x0, x1 - x0, gain);
    }
}

void NightSky::AddPoint(float x, float y, std::uint32_t color) {
    // Bilinear splat in 8.8 fixed point, so slow drift moves smoothly instead
    // of in whole-pixel steps.
    const int fx = static_cast<int>(std::floor(x * 256.0f));
    const int fy = static_cast<int>(std::floor(y * 256.0f));
    const int ix = fx >> 8, iy = fy >> 8;
    const unsigned ax = static_cast<unsigned>(fx & 255), ay = static_cast<unsigned>(fy & 255);
    const unsigned weights[4] = {((256 - ax) * (256 - ay)) >> 8, (ax * (256 - ay)) >> 8, ((256 - ax) * ay) >> 8,
                                 (ax * ay) >> 8};
    const int w = frame_->width(), h = frame_->height();
    for (int k = 0; k < 4; ++k) {
        const int px = ix + (k & 1), py = iy + (k >> 1);
        if (px < 0 || py < 0 || px >= w || py >= h || weights[k] == 0) continue;
        std::uint32_t& dst = frame_->row(py)[px];
        dst = AddClamped(dst, Scale(color, weights[k]));
    }
}

}  // namespace demosaver
