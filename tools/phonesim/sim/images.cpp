#include "images.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <png.h>

namespace phonesim {

namespace {

// 5 x 7 glyphs, one byte per row, the low five bits used.
struct Glyph {
    char c;
    uint8_t rows[7];
};

const Glyph font[] = {
    {'0', {14, 17, 19, 21, 25, 17, 14}}, {'1', {4, 12, 4, 4, 4, 4, 14}},      {'2', {14, 17, 1, 2, 4, 8, 31}},
    {'3', {31, 2, 4, 2, 1, 17, 14}},     {'4', {2, 6, 10, 18, 31, 2, 2}},     {'5', {31, 16, 30, 1, 1, 17, 14}},
    {'6', {6, 8, 16, 30, 17, 17, 14}},   {'7', {31, 1, 2, 4, 8, 8, 8}},       {'8', {14, 17, 17, 14, 17, 17, 14}},
    {'9', {14, 17, 17, 15, 1, 2, 12}},   {':', {0, 12, 12, 0, 12, 12, 0}},    {'A', {14, 17, 17, 31, 17, 17, 17}},
    {'B', {30, 17, 17, 30, 17, 17, 30}}, {'C', {14, 17, 16, 16, 16, 17, 14}}, {'D', {30, 17, 17, 17, 17, 17, 30}},
    {'E', {31, 16, 16, 30, 16, 16, 31}}, {'F', {31, 16, 16, 30, 16, 16, 16}}, {'G', {14, 17, 16, 23, 17, 17, 15}},
    {'H', {17, 17, 17, 31, 17, 17, 17}}, {'I', {14, 4, 4, 4, 4, 4, 14}},      {'K', {17, 18, 20, 24, 20, 18, 17}},
    {'L', {16, 16, 16, 16, 16, 16, 31}}, {'M', {17, 27, 21, 21, 17, 17, 17}}, {'N', {17, 17, 25, 21, 19, 17, 17}},
    {'O', {14, 17, 17, 17, 17, 17, 14}}, {'P', {30, 17, 17, 30, 16, 16, 16}}, {'R', {30, 17, 17, 30, 20, 18, 17}},
    {'S', {15, 16, 16, 14, 1, 1, 30}},   {'T', {31, 4, 4, 4, 4, 4, 4}},       {'U', {17, 17, 17, 17, 17, 17, 14}},
    {'V', {17, 17, 17, 17, 17, 10, 4}},  {'W', {17, 17, 17, 21, 21, 21, 10}}, {'Y', {17, 17, 10, 4, 4, 4, 4}},
    {' ', {0, 0, 0, 0, 0, 0, 0}},
};

const Glyph *glyphFor(char c)
{
    for (const auto &g : font) {
        if (g.c == c)
            return &g;
    }
    return nullptr;
}

uint8_t blend(uint8_t under, uint8_t over, int alpha)
{
    return uint8_t((under * (255 - alpha) + over * alpha) / 255);
}

void pngWrite(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<std::string *>(png_get_io_ptr(png))->append(reinterpret_cast<const char *>(data), length);
}

} // namespace

Image::Image(int width, int height, Color fill)
    : m_width(width), m_height(height), m_rgb(size_t(width) * size_t(height) * 3)
{
    fillRect(0, 0, width, height, fill);
}

void Image::set(int x, int y, Color c, int alpha)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    uint8_t *p = &m_rgb[(size_t(y) * size_t(m_width) + size_t(x)) * 3];
    p[0] = blend(p[0], c.r, alpha);
    p[1] = blend(p[1], c.g, alpha);
    p[2] = blend(p[2], c.b, alpha);
}

Color Image::at(int x, int y) const
{
    const uint8_t *p = &m_rgb[(size_t(y) * size_t(m_width) + size_t(x)) * 3];
    return {p[0], p[1], p[2]};
}

void Image::fillRect(int x, int y, int w, int h, Color c, int alpha)
{
    for (int j = std::max(0, y); j < std::min(m_height, y + h); ++j) {
        for (int i = std::max(0, x); i < std::min(m_width, x + w); ++i)
            set(i, j, c, alpha);
    }
}

void Image::fillRoundedRect(int x, int y, int w, int h, int radius, Color c, int alpha)
{
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            int dx = i < radius ? radius - i : i >= w - radius ? i - (w - radius - 1) : 0;
            int dy = j < radius ? radius - j : j >= h - radius ? j - (h - radius - 1) : 0;
            if (dx * dx + dy * dy <= radius * radius)
                set(x + i, y + j, c, alpha);
        }
    }
}

void Image::fillCircle(int cx, int cy, int radius, Color c, int alpha)
{
    for (int j = -radius; j <= radius; ++j) {
        for (int i = -radius; i <= radius; ++i) {
            if (i * i + j * j <= radius * radius)
                set(cx + i, cy + j, c, alpha);
        }
    }
}

void Image::fillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, Color c)
{
    int minX = std::min({x0, x1, x2}), maxX = std::max({x0, x1, x2});
    int minY = std::min({y0, y1, y2}), maxY = std::max({y0, y1, y2});
    auto edge = [](int ax, int ay, int bx, int by, int px, int py) {
        return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
    };
    for (int y = minY; y <= maxY; ++y) {
        for (int x = minX; x <= maxX; ++x) {
            int e0 = edge(x0, y0, x1, y1, x, y), e1 = edge(x1, y1, x2, y2, x, y), e2 = edge(x2, y2, x0, y0, x, y);
            if ((e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0))
                set(x, y, c);
        }
    }
}

void Image::verticalGradient(Color top, Color bottom)
{
    for (int y = 0; y < m_height; ++y) {
        int t = m_height > 1 ? y * 255 / (m_height - 1) : 0;
        Color c{blend(top.r, bottom.r, t), blend(top.g, bottom.g, t), blend(top.b, bottom.b, t)};
        fillRect(0, y, m_width, 1, c);
    }
}

int Image::textWidth(const std::string &text, int scale)
{
    return int(text.size()) * 6 * scale - scale;
}

void Image::drawText(int x, int y, const std::string &text, int scale, Color c)
{
    for (char ch : text) {
        if (const Glyph *g = glyphFor(ch)) {
            for (int row = 0; row < 7; ++row) {
                for (int col = 0; col < 5; ++col) {
                    if (g->rows[row] & (16 >> col))
                        fillRect(x + col * scale, y + row * scale, scale, scale, c);
                }
            }
        }
        x += 6 * scale;
    }
}

std::string encodePng(const Image &image)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, pngWrite, nullptr);
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height(); ++y) {
        auto row = const_cast<png_bytep>(image.rgb().data() + size_t(y) * size_t(image.width()) * 3);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string encodeJpeg(const Image &image, int quality)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        auto row = const_cast<JSAMPROW>(image.rgb().data() + size_t(cinfo.next_scanline) * size_t(image.width()) * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string out(reinterpret_cast<char *>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    free(buffer);
    return out;
}

std::string framebufferBytes(const Image &image, int bytesPerPixel)
{
    std::string out;
    out.reserve(size_t(image.width()) * size_t(image.height()) * size_t(bytesPerPixel));
    const auto &px = image.rgb();
    for (size_t i = 0; i < px.size(); i += 3) {
        if (bytesPerPixel == 4) {
            out.push_back(char(px[i]));
            out.push_back(char(px[i + 1]));
            out.push_back(char(px[i + 2]));
            out.push_back('\0');
        } else {
            uint16_t v = uint16_t((px[i] >> 3) << 11 | (px[i + 1] >> 2) << 5 | (px[i + 2] >> 3));
            out.push_back(char(v & 0xff));
            out.push_back(char(v >> 8));
        }
    }
    return out;
}

Image drawIcon(int size, Color color, char letter)
{
    Image img(size, size, {255, 255, 255});
    img.fillRect(0, 0, size, size, {0, 0, 0});
    img.fillRoundedRect(size / 16, size / 16, size - size / 8, size - size / 8, size / 5, color);
    img.fillRoundedRect(size / 16, size / 16, size - size / 8, size / 3, size / 5, {255, 255, 255}, 50);
    std::string text(1, letter);
    int scale = std::max(1, size / 12);
    img.drawText((size - Image::textWidth(text, scale)) / 2, (size - 7 * scale) / 2, text, scale, {255, 255, 255});
    return img;
}

Image drawLandscape(int width, int height, int variant)
{
    static const Color skies[][2] = {{{40, 110, 200}, {180, 220, 250}},
                                     {{250, 120, 60}, {250, 210, 140}},
                                     {{20, 30, 80}, {90, 70, 140}},
                                     {{90, 170, 230}, {230, 240, 250}}};
    const auto &sky = skies[variant % 4];
    Image img(width, height);
    img.verticalGradient(sky[0], sky[1]);
    img.fillCircle(width * (3 + variant % 3) / 8, height / 4, height / 10, {255, 240, 180});
    Color mountain{uint8_t(70 + 20 * (variant % 3)), 80, 100};
    img.fillTriangle(-width / 4, height * 3 / 4, width / 3, height / 3, width, height * 3 / 4, mountain);
    img.fillTriangle(width / 3, height * 3 / 4, width * 3 / 4, height * 2 / 5, width * 5 / 4, height * 3 / 4,
                     {uint8_t(mountain.r + 30), 100, 120});
    img.fillTriangle(width * 3 / 4 - height / 20, height * 2 / 5 + height / 20, width * 3 / 4, height * 2 / 5,
                     width * 3 / 4 + height / 20, height * 2 / 5 + height / 20, {250, 250, 250});
    img.fillRect(0, height * 3 / 4, width, height / 4, {60, uint8_t(140 - 10 * (variant % 3)), 60});
    for (int i = 0; i < 12; ++i) {
        int x = (i * 97 + variant * 31) % width;
        int y = height * 3 / 4 + (i * 53) % (height / 4);
        img.fillCircle(x, y, height / 60 + 1, {40, 100, 40});
    }
    return img;
}

Image drawHomeScreen(int width, int height)
{
    Image img(width, height);
    img.verticalGradient({16, 40, 90}, {20, 120, 130});
    // A few soft hills behind the icons, as on the stock wallpapers.
    for (int i = 0; i < 3; ++i)
        img.fillCircle(width * (i + 1) / 4, height + height / 6, height / 3 + i * height / 20, {30, 90, 110}, 90);

    int bar = std::max(16, height / 32);
    img.fillRect(0, 0, width, bar, {0, 0, 0});
    int s = std::max(1, bar / 12);
    img.drawText(width - Image::textWidth("10:08", s) - bar / 3, (bar - 7 * s) / 2, "10:08", s, {230, 230, 230});
    for (int i = 0; i < 4; ++i)
        img.fillRect(bar / 3 + i * bar / 3, bar - bar / 5 - (i + 1) * bar / 6, bar / 4, (i + 1) * bar / 6,
                     {120, 200, 80});
    img.fillRect(width - Image::textWidth("10:08", s) - bar * 3 / 2, bar / 4, bar * 2 / 3, bar / 2, {230, 230, 230});

    int clockScale = width / 40;
    img.drawText((width - Image::textWidth("10:08", clockScale)) / 2, height / 9, "10:08", clockScale, {255, 255, 255});

    static const Color colors[] = {{230, 80, 60},  {70, 160, 230}, {90, 190, 90},   {240, 180, 40},
                                   {150, 90, 200}, {40, 180, 170}, {230, 120, 170}, {120, 120, 130},
                                   {200, 60, 90},  {60, 90, 200},  {180, 140, 60},  {70, 200, 120}};
    static const char letters[] = "MCPBSNWGTRED";
    int cols = 4;
    int cell = width / cols;
    int iconSize = cell * 3 / 5;
    int top = height / 3;
    for (int i = 0; i < 12; ++i) {
        int cx = (i % cols) * cell + (cell - iconSize) / 2;
        int cy = top + (i / cols) * cell * 6 / 5;
        img.fillRoundedRect(cx + 3, cy + 4, iconSize, iconSize, iconSize / 5, {0, 0, 0}, 80);
        img.fillRoundedRect(cx, cy, iconSize, iconSize, iconSize / 5, colors[i]);
        std::string letter(1, letters[i]);
        int ls = std::max(1, iconSize / 14);
        img.drawText(cx + (iconSize - Image::textWidth(letter, ls)) / 2, cy + (iconSize - 7 * ls) / 2, letter, ls,
                     {255, 255, 255});
        img.fillRect(cx + iconSize / 6, cy + iconSize + iconSize / 8, iconSize * 2 / 3, std::max(2, iconSize / 14),
                     {230, 230, 230});
    }

    int dock = height / 9;
    img.fillRect(0, height - dock, width, dock, {0, 0, 0}, 120);
    for (int i = 0; i < 4; ++i) {
        int cx = width * (2 * i + 1) / 8;
        img.fillCircle(cx, height - dock / 2, dock / 3, colors[(i * 3) % 12]);
    }
    return img;
}

} // namespace phonesim
