// The picture: a night-blue gradient, slowly drifting glowing orbs, a gentle
// twinkling starfield, the odd shooting star and a breathing "Vigilumen"
// word-mark. Everything is drawn into one DIB kept for the window's lifetime;
// the window just blits it.
#pragma once

#include "platform/win32_api.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "blend.h"
#include "dib_surface_win32.h"

namespace demosaver {

class NightSky {
public:
    // Rebuilds the frame buffer and everything that depends on the size.
    // Returns false if the buffer could not be made (the window then paints
    // nothing rather than failing).
    bool Resize(int width, int height);

    // Advances the animation by one frame of the given length.
    void Step(double seconds);

    // Draws the current frame into dc().
    void Render();

    [[nodiscard]] HDC dc() const { return frame_ ? frame_->dc() : nullptr; }
    [[nodiscard]] int width() const { return frame_ ? frame_->width() : 0; }
    [[nodiscard]] int height() const { return frame_ ? frame_->height() : 0; }

private:
    struct Star {
        float x, y;        // 0..1 across the frame
        float speed;       // drift, frames' widths per second
        float brightness;  // 0..1
        float twinkleRate, twinklePhase;
        std::uint32_t tint;
    };
    struct Meteor {
        bool active = false;
        float x = 0, y = 0, vx = 0, vy = 0;  // pixels, pixels per second
        float age = 0, life = 0;
    };

    void BuildBackground();
    void BuildOrbs();
    void BuildStars();

    void FillBackground();
    void DrawOrbs();
    void DrawStars();
    void DrawMeteor();
    void DrawWordMark();

    void AddSprite(const Sprite& sprite, int left, int top, unsigned gain);
    void AddPoint(float x, float y, std::uint32_t color);
    void LaunchMeteor();
    float NextRandom();

    std::unique_ptr<DibSurface> frame_;
    std::vector<std::array<std::uint32_t, 4>> backgroundRows_;  // dithered, 4-pixel repeat
    std::vector<Sprite> orbs_;
    std::vector<Star> stars_;
    Sprite wordMark_;
    Meteor meteor_;
    double time_ = 0;
    double nextMeteor_ = 9;
    std::uint32_t random_ = 0x2545F491u;
};

}  // namespace demosaver
