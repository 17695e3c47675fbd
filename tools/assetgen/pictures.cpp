#include "pictures.h"

#include "font.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

namespace assetgen {
namespace {

// The game's palette: a handful of hues, each with a light and a dark tone.
namespace pal {
constexpr Rgb Outline = rgb(20, 16, 30);
constexpr Rgb CarShadow = rgb(40, 42, 52);
constexpr Rgb Asphalt = rgb(78, 80, 92);
constexpr Rgb Shoulder = rgb(56, 58, 68);
constexpr Rgb Paint = rgb(236, 236, 224);
constexpr Rgb RailLight = rgb(206, 212, 222);
constexpr Rgb RailMid = rgb(150, 156, 170);
constexpr Rgb RailDark = rgb(98, 102, 116);
constexpr Rgb Tyre = rgb(28, 28, 34);
constexpr Rgb TyreTread = rgb(74, 74, 84);
constexpr Rgb Glass = rgb(36, 56, 104);
constexpr Rgb GlassShine = rgb(130, 180, 230);
constexpr Rgb Headlight = rgb(255, 250, 200);
constexpr Rgb TailLight = rgb(255, 60, 40);
constexpr Rgb Red = rgb(232, 36, 40);
constexpr Rgb RedLight = rgb(255, 128, 104);
constexpr Rgb RedDark = rgb(150, 16, 30);
constexpr Rgb Yellow = rgb(255, 216, 40);
constexpr Rgb YellowLight = rgb(255, 246, 170);
constexpr Rgb Orange = rgb(255, 128, 16);
constexpr Rgb White = rgb(250, 250, 244);
constexpr Rgb Blue = rgb(44, 96, 176);
constexpr Rgb BlueLight = rgb(96, 150, 222);
constexpr Rgb BlueDark = rgb(24, 52, 112);
constexpr Rgb Roof = rgb(184, 190, 204);
constexpr Rgb RoofDark = rgb(132, 140, 160);
constexpr Rgb Chrome = rgb(170, 176, 190);
constexpr Rgb Navy = rgb(18, 20, 48);
constexpr Rgb Smoke = rgb(120, 120, 128);
constexpr Rgb SmokeLight = rgb(170, 170, 176);
constexpr Rgb SmokeDark = rgb(78, 78, 86);
constexpr Rgb Char = rgb(44, 40, 42);
constexpr Rgb Scorch = rgb(34, 30, 30);
} // namespace pal

int clampByte(int v) { return std::clamp(v, 0, 255); }

Rgb brighten(Rgb c, int delta) {
    return rgb(clampByte(red(c) + delta), clampByte(green(c) + delta), clampByte(blue(c) + delta));
}

// ---------------------------------------------------------------- road --

// Rows of the road picture, top to bottom. The top band stays plain so that
// the score drawn over it reads well.
constexpr int TopLine = 16; // edge line rows 16..17
constexpr int LaneTop = 18; // five lanes in rows 18..181
constexpr int LaneRows = 164;
constexpr int Lanes = 5;
constexpr int BottomLine = 182; // edge line rows 182..183
constexpr int BottomRail = 197; // guard rail rows 197..199

int separatorCentre(int i) { return LaneTop + (LaneRows * i + 2) / Lanes; }

// Grain and blotches of the asphalt, repeating every RoadPeriod columns.
int asphaltGrain(int p, int y, int strength) {
    const std::uint32_t h = hash3(p, y, 11);
    int d = static_cast<int>(h & 15) - 8;
    d += (valueNoise(p, y, 8, 12, RoadPeriod) - 128) / 16;
    if ((h >> 8 & 255) < 5)
        d += 16; // a light stone in the tar
    return d * strength / 4;
}

Rgb railRow(int r, int p) {
    Rgb c = r == 0 ? pal::RailMid : (r == 1 ? pal::RailLight : pal::RailDark);
    if (r == 1 && (p == 6 || p == 26))
        c = pal::RailMid; // the bolts where the rail meets its posts
    return c;
}

Rgb roadPixel(int p, int y) {
    if (y == RoadRows - 1)
        y = RoadRows - 2; // the spare row continues the last one
    if (y <= 2)
        return railRow(y, p);
    if (y >= BottomRail)
        return railRow(y - BottomRail, p);

    const bool shoulder = y < TopLine || y > BottomLine + 1;
    Rgb c =
        shoulder ? brighten(pal::Shoulder, asphaltGrain(p, y, 2)) : brighten(pal::Asphalt, asphaltGrain(p, y, 4));
    if (y == 3 || y == 4)
        c = shade(c, y == 3 ? 150 : 200); // the rail's shadow

    // Dark wheel tracks along the middle of every lane.
    if (!shoulder) {
        for (int lane = 0; lane < Lanes; ++lane) {
            const int mid = (separatorCentre(lane) + separatorCentre(lane + 1)) / 2;
            const int d = std::abs(std::abs(y - mid) - 8);
            if (d <= 1)
                c = brighten(c, d == 0 ? -7 : -4);
        }
    }

    // Solid edge lines, each with a half-tone row either side so that the
    // one-row step the scroll makes at the right edge of the frame is soft.
    for (int top : {TopLine, BottomLine}) {
        if (y == top || y == top + 1)
            return brighten(pal::Paint, asphaltGrain(p, y, 1));
        if (y == top - 1 || y == top + 2)
            c = mix(c, pal::Paint, 100);
    }

    // Dashed lane lines. The dashes sit in columns 20..39 of every period:
    // the frame's right edge shows the first k columns of the next road row,
    // so for k up to 20 it only ever shows plain asphalt there.
    for (int i = 1; i < Lanes; ++i) {
        const int cy = separatorCentre(i);
        if (p < 20)
            continue;
        const int endSoft = (p == 20 || p == 39) ? 170 : 256;
        if (y == cy - 1 || y == cy)
            c = mix(c, pal::Paint, endSoft - 20);
        else if (y == cy - 2 || y == cy + 1)
            c = mix(c, pal::Paint, endSoft / 4);
    }
    return c;
}

// ---------------------------------------------------------------- cars --

// Lights the top edge of every region of colour `base` and darkens its
// bottom edge: a one-pixel bevel, light coming from above.
void bevel(Image& img, Rgb base, Rgb light, Rgb dark) {
    const Image src = img;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (src.get(x, y) != base)
                continue;
            const bool topEdge = y == 0 || src.get(x, y - 1) != base;
            const bool bottomEdge = y + 1 == img.height() || src.get(x, y + 1) != base;
            if (topEdge)
                img.set(x, y, light);
            else if (bottomEdge)
                img.set(x, y, dark);
        }
}

// Adds a drop shadow below and right of the drawn shape, then outlines it.
Image finishSprite(Image img, Rgb outline, int shadowDx, int shadowDy) {
    img.outline8(outline);
    Image out(img.width(), img.height());
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const int sx = x - shadowDx, sy = y - shadowDy;
            if (img.inside(sx, sy) && img.get(sx, sy) != Key)
                out.set(x, y, pal::CarShadow);
        }
    out.blit(img, 0, 0);
    return out;
}

void drawTyre(Image& img, int x, int y, int len, int width) {
    img.fillRect(x, y, len, width, pal::Tyre);
    for (int i = 1; i < len; i += 2)
        img.set(x + i, y + (y < 15 ? 0 : width - 1), pal::TyreTread);
}

// Mirrors the top half onto the bottom half so that the car is symmetric.
void mirrorRows(Image& img) {
    for (int y = 0; y < img.height() / 2; ++y)
        for (int x = 0; x < img.width(); ++x)
            img.set(x, img.height() - 1 - y, img.get(x, y));
}

} // namespace

Image makeRoad() {
    Image road(RoadWidth, RoadRows);
    for (int y = 0; y < RoadRows; ++y)
        for (int x = 0; x < RoadWidth; ++x)
            road.set(x, y, roadPixel(x % RoadPeriod, y));
    return road;
}

// The player: a low red sports car with flared wheel arches, yellow racing
// stripes, a bubble cockpit and a rear wing, pointing right.
// Top half of the player's body, mirrored below: rear arch, waist, front
// arch and a tapering nose.
const std::vector<int> PlayerBodyTop = {3, 15, 3, 8,  5, 6,  11, 6,  13, 8,  18,
                                        8, 20, 7, 23, 7, 25, 9,  27, 11, 27, 15};

Image makePlayerCar() {
    // The shape keeps to columns 2..26 and rows 4..25, so that outline and
    // shadow stay clear of the sprite's edge.
    Image car(CarSide, CarSide);
    drawTyre(car, 5, 4, 6, 3);
    drawTyre(car, 19, 5, 5, 3);
    car.fillPolygon(PlayerBodyTop, pal::Red);
    mirrorRows(car);
    bevel(car, pal::Red, pal::RedLight, pal::RedDark);
    // Racing stripes along the middle.
    for (int y : {12, 16}) {
        car.hline(4, 26, y, pal::YellowLight);
        car.hline(4, 26, y + 1, pal::Yellow);
    }
    // Bubble cockpit with a shine on the glass.
    car.fillPolygon({13, 11, 15, 9, 18, 9, 20, 11, 20, 19, 18, 21, 15, 21, 13, 19}, pal::Outline);
    car.fillPolygon({14, 11, 15, 10, 18, 10, 19, 11, 19, 19, 18, 20, 15, 20, 14, 19}, pal::Glass);
    car.hline(15, 17, 10, pal::GlassShine);
    car.set(18, 11, pal::GlassShine);
    car.set(15, 11, rgb(70, 110, 170));
    // Engine cover vents behind the cockpit.
    for (int x : {8, 10})
        car.vline(x, 11, 18, pal::RedDark);
    // Rear wing across the tail.
    car.fillRect(2, 4, 3, 22, pal::RedDark);
    car.vline(3, 5, 24, pal::Red);
    car.hline(2, 4, 4, pal::RedLight);
    // Head lights in the nose.
    car.fillRect(24, 9, 2, 2, pal::Headlight);
    car.fillRect(24, 19, 2, 2, pal::Headlight);
    return finishSprite(car, pal::Outline, 1, 2);
}

// The other traffic: a boxy blue saloon with a white roof, no stripes.
Image makeEnemyCar() {
    Image car(CarSide, CarSide);
    drawTyre(car, 5, 5, 6, 3);
    drawTyre(car, 18, 5, 6, 3);
    car.fillRoundRect(2, 7, 25, 16, 2, pal::Blue);
    bevel(car, pal::Blue, pal::BlueLight, pal::BlueDark);
    // Bumpers.
    car.vline(26, 9, 20, pal::Chrome);
    car.vline(2, 9, 20, pal::Chrome);
    // Glass and roof.
    car.fillPolygon({16, 10, 19, 9, 21, 10, 21, 20, 19, 21, 16, 20}, pal::Glass);
    car.fillRect(9, 10, 7, 10, pal::Roof);
    car.hline(9, 15, 10, rgb(214, 220, 230));
    car.hline(9, 15, 19, pal::RoofDark);
    car.fillRect(6, 10, 3, 10, pal::Glass);
    car.set(19, 10, pal::GlassShine);
    car.set(18, 11, pal::GlassShine);
    car.set(7, 11, pal::GlassShine);
    // Bonnet crease, mirrors and lights.
    car.hline(22, 25, 12, pal::BlueDark);
    car.hline(22, 25, 17, pal::BlueDark);
    car.set(17, 6, pal::Blue);
    car.set(17, 23, pal::Blue);
    car.fillRect(25, 8, 2, 2, pal::Headlight);
    car.fillRect(25, 20, 2, 2, pal::Headlight);
    car.fillRect(2, 8, 2, 2, pal::TailLight);
    car.fillRect(2, 20, 2, 2, pal::TailLight);
    return finishSprite(car, pal::Outline, 1, 2);
}

Image makeIcon() {
    // An outlined tile of asphalt between two solid edge lines, with the car
    // in the middle of it: its shape is centred on (14.5, 14.5) of the
    // sprite, so one pixel to the right and down centres it on the tile.
    Image icon(IconSide, IconSide);
    icon.fillRoundRect(0, 0, IconSide, IconSide, IconCorner, pal::Outline);
    Image tile(IconSide, IconSide);
    tile.fillRoundRect(1, 1, IconSide - 2, IconSide - 2, IconCorner - 1, pal::Asphalt);
    for (int y = 0; y < IconSide; ++y)
        for (int x = 0; x < IconSide; ++x)
            if (tile.get(x, y) != Key)
                tile.set(x, y, brighten(pal::Asphalt, asphaltGrain(x, y, 4)));
    icon.blit(tile, 0, 0);
    for (int y : {3, IconSide - 4})
        icon.hline(2, IconSide - 3, y, pal::Paint);
    icon.blit(makePlayerCar(), 1, 1);
    return icon;
}

namespace {

// Squared distance from the sprite centre (14.5, 14.5), in quarter pixels.
int dist2q(int x, int y, int cx2 = 29, int cy2 = 29) {
    const int dx = 2 * x - cx2, dy = 2 * y - cy2;
    return dx * dx + dy * dy;
}

// Sixteen directions as whole-number vectors of length about 16.
constexpr int Dirs[16][2] = {{16, 0},  {15, 6},   {11, 11},   {6, 15},   {0, 16},  {-6, 15}, {-11, 11}, {-15, 6},
                             {-16, 0}, {-15, -6}, {-11, -11}, {-6, -15}, {0, -16}, {6, -15}, {11, -11}, {15, -6}};

// Clears a two-pixel frame, so that the outline drawn afterwards leaves
// the sprite's edge transparent.
void keepInside(Image& img) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (x < 2 || y < 2 || x >= img.width() - 2 || y >= img.height() - 2)
                img.set(x, y, Key);
}

Image explosionFlash() {
    Image img(CarSide, CarSide);
    // Rays of uneven length.
    const int len[16] = {12, 8, 12, 7, 12, 9, 11, 7, 12, 8, 12, 7, 12, 9, 11, 8};
    for (int i = 0; i < 16; ++i) {
        const int ex = 14 + Dirs[i][0] * len[i] / 16;
        const int ey = 14 + Dirs[i][1] * len[i] / 16;
        img.line(14, 14, ex, ey, pal::Orange);
        img.line(15, 15, ex + (ex > 14 ? 1 : 0), ey + (ey > 14 ? 1 : 0), pal::Orange);
        const int mx = 14 + Dirs[i][0] * len[i] * 2 / 48;
        const int my = 14 + Dirs[i][1] * len[i] * 2 / 48;
        img.line(14, 14, mx + Dirs[i][0] / 4, my + Dirs[i][1] / 4, pal::Yellow);
    }
    for (int y = 0; y < CarSide; ++y)
        for (int x = 0; x < CarSide; ++x) {
            const int d = dist2q(x, y);
            const int wobble = static_cast<int>(hash3(x, y, 3) & 31);
            if (d < 100 + wobble)
                img.set(x, y, pal::White);
            else if (d < 190 + wobble)
                img.set(x, y, pal::YellowLight);
            else if (d < 300 + wobble && img.get(x, y) == Key)
                img.set(x, y, pal::Yellow);
        }
    // Sparks flung out between the rays.
    const int sparks[][2] = {{4, 7}, {24, 4}, {26, 23}, {5, 25}, {17, 2}, {2, 16}, {27, 12}, {12, 27}};
    for (const auto& s : sparks)
        img.set(s[0], s[1], pal::YellowLight);
    keepInside(img);
    img.outline(rgb(220, 80, 10));
    return img;
}

Image explosionFireball() {
    Image img(CarSide, CarSide);
    for (int y = 0; y < CarSide; ++y)
        for (int x = 0; x < CarSide; ++x) {
            const int n = valueNoise(x, y, 5, 21);  // 0..255
            const int d = dist2q(x, y) * 256 / 576; // 256 at radius 12
            const int r = d + (n - 128) / 3;        // ragged edge
            Rgb c = Key;
            if (r < 24)
                c = pal::White;
            else if (r < 60)
                c = pal::YellowLight;
            else if (r < 110)
                c = pal::Yellow;
            else if (r < 170)
                c = pal::Orange;
            else if (r < 220)
                c = pal::Red;
            else if (r < 250)
                c = pal::RedDark;
            if (c != Key && r >= 170 && (hash3(x, y, 22) & 7) == 0)
                c = pal::SmokeDark; // soot in the outer flames
            img.set(x, y, c);
        }
    // Smoke puffs where the fire has already burnt.
    img.fillEllipse(3, 3, 9, 9, pal::SmokeDark);
    img.fillEllipse(4, 4, 7, 7, pal::Smoke);
    img.fillEllipse(21, 21, 26, 26, pal::SmokeDark);
    img.fillEllipse(22, 22, 24, 24, pal::Smoke);
    // Flying debris, each piece with a short flaming trail.
    const int debris[][4] = {{2, 13, 3, 2},  {25, 6, 2, 2},  {13, 2, 2, 2}, {7, 25, 3, 2},
                             {25, 16, 2, 3}, {20, 25, 2, 2}, {3, 21, 2, 2}};
    for (const auto& p : debris) {
        const int tx = p[0] + (p[0] < 14 ? 3 : -2), ty = p[1] + (p[1] < 14 ? 3 : -2);
        img.line(p[0], p[1], tx, ty, pal::Orange);
        img.fillRect(p[0], p[1], p[2], p[3], pal::Char);
        img.set(p[0], p[1], pal::RedDark);
    }
    keepInside(img);
    img.outline(rgb(70, 14, 10));
    return img;
}

Image explosionWreck() {
    Image img(CarSide, CarSide);
    // Scorched tarmac around the wreck.
    for (int y = 0; y < CarSide; ++y)
        for (int x = 0; x < CarSide; ++x) {
            const int n = valueNoise(x, y, 4, 31);
            const int d = dist2q(x, y, 31, 31);
            if (d + (n - 128) * 2 < 4 * 12 * 12)
                img.set(x, y, (hash3(x, y, 32) & 3) == 0 ? pal::Char : pal::Scorch);
        }
    // The burnt-out shell of the player's car: the same outline, charred,
    // the cockpit a black hole, scraps of red paint left.
    Image shell(CarSide, CarSide);
    drawTyre(shell, 5, 4, 6, 3);
    drawTyre(shell, 19, 5, 5, 3);
    shell.fillPolygon(PlayerBodyTop, rgb(92, 84, 82));
    mirrorRows(shell);
    bevel(shell, rgb(92, 84, 82), rgb(128, 118, 112), rgb(58, 52, 52));
    shell.fillRect(2, 5, 3, 20, rgb(62, 56, 56));
    shell.fillPolygon({13, 11, 15, 9, 18, 9, 20, 11, 20, 19, 18, 21, 15, 21, 13, 19}, pal::Outline);
    shell.hline(4, 12, 12, rgb(70, 62, 60));
    shell.hline(4, 12, 17, rgb(70, 62, 60));
    shell.fillRect(21, 8, 3, 2, pal::RedDark);
    shell.fillRect(6, 20, 4, 2, pal::RedDark);
    shell.fillRect(22, 20, 3, 1, rgb(140, 80, 50));
    img.blit(shell, 0, 0);
    // Flames still licking out of the engine bay and the cabin.
    const int flames[][3] = {{18, 14, 3}, {10, 16, 2}, {23, 18, 2}};
    for (const auto& f : flames) {
        img.fillEllipse(f[0] - f[2], f[1] - f[2] - 1, f[0] + f[2], f[1] + f[2], pal::Red);
        img.fillEllipse(f[0] - f[2] + 1, f[1] - f[2], f[0] + f[2] - 1, f[1] + f[2] - 1, pal::Orange);
        img.fillEllipse(f[0] - 1, f[1] - 1, f[0], f[1] + 1, pal::Yellow);
    }
    // Smoke rising and drifting back, lit from above.
    const int puffs[][3] = {{8, 7, 5}, {5, 13, 3}, {14, 5, 3}, {4, 4, 2}};
    for (const auto& p : puffs) {
        img.fillEllipse(p[0] - p[2], p[1] - p[2], p[0] + p[2], p[1] + p[2], pal::SmokeDark);
        img.fillEllipse(p[0] - p[2], p[1] - p[2], p[0] + p[2] - 1, p[1] + p[2] - 1, pal::Smoke);
        img.fillEllipse(p[0] - p[2] + 1, p[1] - p[2], p[0], p[1] - 1, pal::SmokeLight);
    }
    keepInside(img);
    img.outline(pal::Outline);
    return img;
}

} // namespace

Image makeExplosion(int stage) {
    if (stage == 1)
        return explosionFlash();
    if (stage == 2)
        return explosionFireball();
    return explosionWreck();
}

// ------------------------------------------------------ score and digits --

namespace {

// Bold glyph in four bands of colour from top to bottom, with a dark rim
// so it reads on any background.
Image bigGlyphSprite(char c, const std::array<Rgb, 4>& bands) {
    if (!hasBigGlyph(c))
        throw std::invalid_argument(std::string("no big glyph for '") + c + "'");
    Image img(DigitW, DigitH);
    for (int y = 0; y < BigGlyphHeight; ++y) {
        const Rgb fill = bands[static_cast<std::size_t>(y < 3 ? 0 : (y < 8 ? 1 : (y < 11 ? 2 : 3)))];
        for (int x = 0; x < BigGlyphWidth; ++x)
            if (bigGlyphPixel(c, x, y))
                img.set(x + 1, y + 1, fill);
    }
    img.outline8(pal::Outline);
    return img;
}

// The score burns hot: white to orange.
const std::array<Rgb, 4> HotBands = {pal::White, pal::YellowLight, pal::Yellow, pal::Orange};
// Its label is cool, so the number stands out.
const std::array<Rgb, 4> CoolBands = {pal::White, rgb(200, 226, 255), pal::BlueLight, rgb(70, 118, 204)};

} // namespace

Image makeDigit(int d) { return bigGlyphSprite(static_cast<char>('0' + d), HotBands); }

Image makeScoreLabel() {
    Image label(LabelW, LabelH);
    const std::string text = "SCORE";
    for (std::size_t i = 0; i < text.size(); ++i) {
        label.blit(bigGlyphSprite(text[i], CoolBands), static_cast<int>(i) * 9, 0);
    }
    // A colon leads the eye on to the digits.
    label.fillRect(46, 5, 2, 2, pal::White);
    label.fillRect(46, 10, 2, 2, pal::White);
    label.rectOutline(45, 4, 4, 4, pal::Outline);
    label.rectOutline(45, 9, 4, 4, pal::Outline);
    return label;
}

// --------------------------------------------------------------- screens --

namespace {

struct TextStyle {
    int scale = 1;
    Rgb top = pal::White;
    Rgb bottom = pal::Yellow;
    Rgb outline = pal::Outline;
    int depth = 0; // length of the 3-D extrusion down and right
    Rgb side = pal::RedDark;
    int slant = 0;     // italic lean: pixels per row of the font, 0 for upright
    bool logo = false; // the heavy logo font instead of the small one
};

// Text as a sprite: gradient face, extruded sides, dark outline.
Image styledText(const std::string& text, const TextStyle& s) {
    const Image mask = s.logo ? logoMask(text, s.scale) : textMask(text, s.scale, 1);
    const int h = mask.height();
    const int fontRows = h / s.scale;
    const int lean = (fontRows - 1) * s.slant;
    Image face(mask.width() + lean, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < mask.width(); ++x)
            if (mask.get(x, y) != Key) {
                Rgb c = mix(s.top, s.bottom, y * 256 / h);
                if (y == 0 || mask.get(x, y - 1) == Key)
                    c = mix(c, pal::White, 140); // light catches the top edges
                // Whole font rows lean together, which keeps the blocks crisp.
                face.set(x + (fontRows - 1 - y / s.scale) * s.slant, y, c);
            }
    Image out(face.width() + s.depth + 4, h + s.depth + 4);
    for (int i = s.depth; i >= 1; --i) {
        Image side = face;
        for (Rgb& p : side.pixels())
            if (p != Key)
                p = shade(s.side, 256 - i * 64 / (s.depth + 1));
        out.blit(side, 2 + i, 2 + i);
    }
    out.blit(face, 2, 2);
    out.outline8(s.outline);
    out.outline(s.outline);
    return out;
}

// Centres img horizontally on column cx.
void blitCentred(Image& dst, const Image& img, int cx, int y) { dst.blit(img, cx - img.width() / 2, y); }

// A keyboard key cap with a label, for the controls on the title screen.
int drawKeyCap(Image& img, int x, int y, const std::string& label) {
    const int w = textWidth(label) + 6;
    img.fillRoundRect(x, y, w, 12, 1, rgb(70, 74, 100));
    img.fillRect(x + 1, y, w - 2, 10, rgb(206, 210, 224));
    img.hline(x + 1, x + w - 2, y, pal::White);
    drawText(img, x + 3, y + 2, label, pal::Navy);
    return w;
}

// The title: a dusk sky over hills, the player's car speeding along the
// road, the panel with the instructions, and the logo over the sky.
constexpr int TitleHorizon = 100;
constexpr int TitleRoadBand = 62;

// Dusk sky: deep blue above, warm at the horizon; stars, the setting sun
// and two layers of hills.
void drawDusk(Image& img) {
    constexpr int Horizon = TitleHorizon;
    for (int y = 0; y < Horizon; ++y) {
        Rgb c;
        if (y < 56)
            c = mix(rgb(8, 10, 40), rgb(54, 30, 104), y * 256 / 56);
        else
            c = mix(rgb(54, 30, 104), rgb(250, 120, 60), (y - 56) * 256 / (Horizon - 56));
        img.hline(0, ScreenW - 1, y, c);
    }
    // Stars.
    Rng rng(2001);
    for (int i = 0; i < 70; ++i) {
        const int x = rng.range(0, ScreenW - 1), y = rng.range(0, 58);
        img.set(x, y, mix(img.get(x, y), pal::White, rng.range(90, 256)));
    }
    // Setting sun cut by the haze, behind the hills.
    constexpr int SunX = 262, SunR = 30;
    for (int y = Horizon - 2 * SunR; y < Horizon; ++y)
        for (int x = SunX - SunR; x < SunX + SunR; ++x) {
            const int dx = 2 * (x - SunX) + 1, dy = 2 * (y - Horizon + 2);
            const int below = y - (Horizon - SunR - 4);
            const bool band = below > 0 && (below % 6) < below / 7;
            if (dx * dx + dy * dy < 4 * SunR * SunR && !band)
                img.set(x, y, mix(pal::Yellow, rgb(255, 70, 60), (y - Horizon + 2 * SunR) * 256 / (2 * SunR)));
        }
    // Two layers of hills on the horizon.
    for (int x = 0; x < ScreenW; ++x) {
        const int far = Horizon - 10 - valueNoise(x, 0, 40, 41) / 18;
        const int near = Horizon - 3 - valueNoise(x, 0, 23, 42) / 30;
        img.vline(x, far, Horizon - 1, rgb(66, 34, 90));
        img.vline(x, near, Horizon - 1, rgb(34, 20, 56));
    }
}

// The road, twice the size, with the player's car speeding along it.
void drawSpeedingCar(Image& img) {
    constexpr int RoadTop = TitleHorizon;
    constexpr int RoadBand = TitleRoadBand;
    const Image road = makeRoad();
    for (int y = 0; y < RoadBand; ++y)
        for (int x = 0; x < ScreenW; ++x)
            img.set(x, RoadTop + y, road.get((x / 2 + 7) % RoadWidth, 8 + y / 2));
    const Image car = makePlayerCar().scaled(2);
    const Image rival = makeEnemyCar().scaled(2);
    // Speed streaks behind the car.
    const int streaks[][3] = {{RoadTop + 22, 8, 96},
                              {RoadTop + 30, 30, 100},
                              {RoadTop + 44, 0, 104},
                              {RoadTop + 52, 24, 100},
                              {RoadTop + 36, 60, 96}};
    for (const auto& s : streaks) {
        img.hline(s[1], s[2], s[0], pal::White);
        img.hline(s[1] + 10, s[2], s[0] + 1, rgb(180, 190, 210));
    }
    img.blit(car, 96, RoadTop + 2);
    img.blit(rival, 232, RoadTop + 4);
}

// Bottom panel with the instructions.
void drawInstructions(Image& img) {
    constexpr int PanelTop = TitleHorizon + TitleRoadBand;
    img.fillRect(0, PanelTop, ScreenW, ScreenH - PanelTop, pal::Navy);
    img.hline(0, ScreenW - 1, PanelTop, pal::Yellow);
    img.hline(0, ScreenW - 1, PanelTop + 1, pal::Orange);

    TextStyle press;
    press.scale = 2;
    press.top = pal::White;
    press.bottom = pal::Yellow;
    press.depth = 1;
    press.side = pal::Orange;
    blitCentred(img, styledText("PRESS ANY KEY", press), 160, PanelTop + 3);

    // Controls: key caps followed by what they do in play; the credit on the
    // right. Escape ends a game in play; here, like any key, it starts one.
    const int rowY = ScreenH - 13;
    int x = 8;
    x += drawKeyCap(img, x, rowY, std::string(1, ArrowUp)) + 2;
    x += drawKeyCap(img, x, rowY, std::string(1, ArrowDown)) + 4;
    drawText(img, x, rowY + 2, "STEER", pal::White);
    x += textWidth("STEER") + 9;
    x += drawKeyCap(img, x, rowY, std::string(1, ArrowLeft)) + 2;
    x += drawKeyCap(img, x, rowY, std::string(1, ArrowRight)) + 4;
    drawText(img, x, rowY + 2, "SPEED", pal::White);
    x += textWidth("SPEED") + 9;
    x += drawKeyCap(img, x, rowY, "ESC") + 4;
    drawText(img, x, rowY + 2, "END GAME", pal::White);
    const std::string credit = "by Tamsel 2001";
    drawText(img, ScreenW - 6 - textWidth(credit), rowY + 2, credit, rgb(150, 160, 200));
}

// The logo over the sky.
void drawLogo(Image& img) {
    TextStyle logo;
    logo.logo = true;
    logo.scale = 5;
    logo.top = pal::YellowLight;
    logo.bottom = rgb(255, 60, 30);
    logo.depth = 4;
    logo.side = rgb(120, 20, 40);
    logo.slant = 2;
    const Image vexlo = styledText("VEXLO", logo);
    const int logoX = (ScreenW - vexlo.width()) / 2;
    img.blit(vexlo, logoX, 4);
    TextStyle race = logo;
    race.scale = 3;
    race.top = pal::White;
    race.bottom = pal::BlueLight;
    race.side = pal::BlueDark;
    race.depth = 3;
    race.slant = 2;
    const Image raceText = styledText("RACE", race);
    const int raceX = logoX + vexlo.width() - raceText.width() - 4;
    img.blit(raceText, raceX, 58);
    // Speed lines trailing the second word.
    for (int i = 0; i < 4; ++i) {
        const int y = 64 + i * 7;
        img.hline(logoX + 10 + i * 12, raceX - 6 + i * 1, y, pal::Yellow);
        img.hline(logoX + 22 + i * 12, raceX - 6 + i * 1, y + 1, pal::Orange);
    }
}

} // namespace

Image makeTitle() {
    Image img(ScreenW, ScreenH);
    drawDusk(img);
    drawSpeedingCar(img);
    drawInstructions(img);
    drawLogo(img);
    for (Rgb& p : img.pixels())
        if (p == Key)
            p = pal::Navy; // nothing of the title is transparent
    return img;
}

Image makeGameOver() {
    Image img(ScreenW, ScreenH);
    // Banner across the screen with warning stripes along its edges.
    constexpr int BannerTop = 40, BannerH = 56;
    for (int y = BannerTop; y < BannerTop + BannerH; ++y)
        img.hline(0, ScreenW - 1, y, mix(rgb(70, 10, 24), rgb(24, 6, 20), (y - BannerTop) * 256 / BannerH));
    for (int y : {BannerTop, BannerTop + BannerH - 5})
        for (int j = 0; j < 5; ++j)
            for (int x = 0; x < ScreenW; ++x)
                img.set(x, y + j, ((x + j) / 6) % 2 ? pal::Yellow : pal::Outline);
    TextStyle big;
    big.logo = true;
    big.scale = 4;
    big.slant = 1;
    big.top = pal::YellowLight;
    big.bottom = rgb(255, 60, 30);
    big.depth = 3;
    big.side = rgb(110, 16, 30);
    const Image title = styledText("GAME OVER", big);
    blitCentred(img, title, 160, BannerTop + 9);

    // Framed panel around the final score, centred on the digits.
    const int cx = GameOverDigitsX + 24;
    const int px = cx - 70, py = 106, pw = 140, ph = 58;
    img.fillRect(px, py, pw, ph, pal::Outline);
    img.fillRect(px + 1, py + 1, pw - 2, ph - 2, pal::Yellow);
    img.fillRect(px + 3, py + 3, pw - 6, ph - 6, pal::Orange);
    img.fillRect(px + 4, py + 4, pw - 8, ph - 8, pal::Navy);
    for (int y = py + 4; y < py + ph - 4; ++y)
        img.hline(px + 4, px + pw - 5, y, mix(rgb(30, 34, 80), pal::Navy, (y - py) * 256 / ph));
    const Image caption = styledText("FINAL SCORE", TextStyle{});
    blitCentred(img, caption, cx, py + 5);
    // The sunken well the digits are drawn into.
    const int wx = GameOverDigitsX - 3, wy = GameOverDigitsY - 3;
    img.fillRect(wx, wy, 54, 22, pal::Outline);
    img.hline(wx, wx + 53, wy + 21, rgb(90, 100, 160));
    img.vline(wx + 53, wy, wy + 21, rgb(90, 100, 160));
    img.fillRect(wx + 1, wy + 1, 52, 20, rgb(8, 8, 20));
    drawText(img, cx - textWidth("PRESS ANY KEY") / 2, py + ph - 13, "PRESS ANY KEY", rgb(150, 160, 200));
    return img;
}

// ------------------------------------------------------------- previews --

namespace {

void blitKeyed(std::vector<Rgb>& frame, const Image& s, int x, int y) {
    for (int j = 0; j < s.height(); ++j)
        for (int i = 0; i < s.width(); ++i) {
            const int tx = x + i, ty = y + j;
            const Rgb p = s.get(i, j);
            if (p != Key && tx >= 0 && tx < ScreenW && ty >= 0 && ty < ScreenH)
                frame[static_cast<std::size_t>(ty * ScreenW + tx)] = p;
        }
}

void drawScoreLike(std::vector<Rgb>& frame, int value, int c0, int r, bool label) {
    for (int k = 0; k < 6; ++k) {
        blitKeyed(frame, makeDigit(value % 10), c0 - 8 * k, r);
        value /= 10;
    }
    if (label)
        blitKeyed(frame, makeScoreLabel(), 222, 1);
}

} // namespace

Image mockPlayFrame(int k, int score) {
    const Image road = makeRoad();
    Image out(ScreenW, ScreenH);
    std::vector<Rgb>& frame = out.pixels();
    // One block copy, the way the game scrolls the road.
    for (int i = 0; i < ScreenW * ScreenH; ++i)
        frame[static_cast<std::size_t>(i)] = road.pixels()[static_cast<std::size_t>(k + i)];
    blitKeyed(frame, makePlayerCar(), 10, 100);
    blitKeyed(frame, makeEnemyCar(), 120, 30);
    blitKeyed(frame, makeEnemyCar(), 230, 110);
    blitKeyed(frame, makeEnemyCar(), 300, 160);
    blitKeyed(frame, makeExplosion(1), 60, 150);
    blitKeyed(frame, makeExplosion(2), 100, 150);
    blitKeyed(frame, makeExplosion(3), 140, 150);
    blitKeyed(frame, makeEnemyCar(), 170, 0);
    drawScoreLike(frame, score, 311, 1, true);
    return out;
}

Image mockGameOverFrame(int score) {
    Image out = mockPlayFrame(17, score);
    for (Rgb& p : out.pixels())
        p = rgb(red(p) / 2, green(p) / 2, blue(p) / 2);
    blitKeyed(out.pixels(), makeGameOver(), 0, 0);
    drawScoreLike(out.pixels(), score, 203, 128, false);
    return out;
}

} // namespace assetgen
