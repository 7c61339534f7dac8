#pragma once

// Small drawing and encoding helpers for the seed: pictures for the SD card, application icons and the
// home screen shown in the framebuffer.

#include <cstdint>
#include <string>
#include <vector>

namespace phonesim {

struct Color {
    uint8_t r, g, b;
};

class Image {
public:
    Image(int width, int height, Color fill = {0, 0, 0});

    int width() const { return m_width; }
    int height() const { return m_height; }
    const std::vector<uint8_t> &rgb() const { return m_rgb; }

    void set(int x, int y, Color c, int alpha = 255);
    Color at(int x, int y) const;
    void fillRect(int x, int y, int w, int h, Color c, int alpha = 255);
    void fillRoundedRect(int x, int y, int w, int h, int radius, Color c, int alpha = 255);
    void fillCircle(int cx, int cy, int radius, Color c, int alpha = 255);
    void fillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, Color c);
    void verticalGradient(Color top, Color bottom);
    // Digits, ":" and capital letters in a 5 x 7 pixel font, each pixel drawn as scale x scale.
    void drawText(int x, int y, const std::string &text, int scale, Color c);
    static int textWidth(const std::string &text, int scale);

private:
    int m_width;
    int m_height;
    std::vector<uint8_t> m_rgb;
};

std::string encodePng(const Image &image);
std::string encodeJpeg(const Image &image, int quality);

// The raw frame a phone's /dev/graphics/fb0 holds: 4 bytes per pixel (R, G, B, unused) or RGB565.
std::string framebufferBytes(const Image &image, int bytesPerPixel);

Image drawHomeScreen(int width, int height);
Image drawLandscape(int width, int height, int variant);
Image drawIcon(int size, Color color, char letter);

} // namespace phonesim
