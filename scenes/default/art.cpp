// The default scene's art. The background is painted on a supersampled
// canvas (shapes filled per sample, averaged at the end), so its edges are
// soft; the snowflakes are classified per pixel into key / body / detail /
// outline, so their edges are hard, as a key-colour mask needs.
#include "scenes/default/art.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>

namespace sg::scenes {
namespace {

constexpr double PI = 3.14159265358979323846;

struct Rgb {
    double r, g, b;  // 0..255
};

Rgb rgb(int r, int g, int b) { return {double(r), double(g), double(b)}; }
Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Rgb scale(Rgb a, double k) { return {a.r * k, a.g * k, a.b * k}; }
double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }
double smooth(double e0, double e1, double v) {
    double t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// The art's own generator, so the pictures never depend on a library's rand().
struct Lcg {
    std::uint32_t state;
    double unit() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 16777216.0;
    }
    double range(double a, double b) { return a + (b - a) * unit(); }
};

struct Pt {
    double x, y;
};

using Shader = std::function<Rgb(double x, double y)>;

Shader flat(Rgb c) {
    return [c](double, double) { return c; };
}

class Canvas {
public:
    static constexpr int SS = 3;  // samples per pixel along each axis

    Canvas(int width, int height)
        : width_(width), height_(height), sw_(width * SS), sh_(height * SS),
          px_(std::size_t(sw_) * sh_, Rgb{0, 0, 0}) {}

    void fill_all(const Shader& shader) {
        for (int sy = 0; sy < sh_; ++sy)
            for (int sx = 0; sx < sw_; ++sx)
                at(sx, sy) = shader(cx(sx), cy(sy));
    }

    // Even-odd fill of a closed polygon given in picture pixels.
    void polygon(const std::vector<Pt>& pts, const Shader& shader, double alpha = 1.0) {
        if (pts.size() < 3) return;
        double minY = pts[0].y, maxY = pts[0].y;
        for (const Pt& p : pts) {
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
        int sy0 = std::max(0, int(std::floor(minY * SS)));
        int sy1 = std::min(sh_ - 1, int(std::ceil(maxY * SS)));
        std::vector<double> xs;
        for (int sy = sy0; sy <= sy1; ++sy) {
            double y = cy(sy);
            xs.clear();
            for (std::size_t i = 0; i < pts.size(); ++i) {
                const Pt& a = pts[i];
                const Pt& b = pts[(i + 1) % pts.size()];
                if ((a.y <= y && b.y > y) || (b.y <= y && a.y > y))
                    xs.push_back(a.x + (y - a.y) / (b.y - a.y) * (b.x - a.x));
            }
            std::sort(xs.begin(), xs.end());
            for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
                int sx0 = std::max(0, int(std::ceil(xs[i] * SS - 0.5)));
                int sx1 = std::min(sw_ - 1, int(std::ceil(xs[i + 1] * SS - 0.5)) - 1);
                for (int sx = sx0; sx <= sx1; ++sx) blend(sx, sy, shader(cx(sx), y), alpha);
            }
        }
    }

    void rect(double x, double y, double w, double h, const Shader& shader, double alpha = 1.0) {
        polygon({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}}, shader, alpha);
    }

    void circle(double x, double y, double r, const Shader& shader, double alpha = 1.0) {
        for_box(x - r, y - r, x + r, y + r, [&](int sx, int sy, double px, double py) {
            if ((px - x) * (px - x) + (py - y) * (py - y) <= r * r)
                blend(sx, sy, shader(px, py), alpha);
        });
    }

    void ellipse(double x, double y, double rx, double ry, const Shader& shader,
                 double alpha = 1.0) {
        for_box(x - rx, y - ry, x + rx, y + ry, [&](int sx, int sy, double px, double py) {
            double dx = (px - x) / rx, dy = (py - y) / ry;
            if (dx * dx + dy * dy <= 1) blend(sx, sy, shader(px, py), alpha);
        });
    }

    // Light added around a point (lit windows, their reflections on the snow).
    void glow(double x, double y, double rx, double ry, Rgb c, double strength) {
        for_box(x - 3 * rx, y - 3 * ry, x + 3 * rx, y + 3 * ry,
                [&](int sx, int sy, double px, double py) {
                    double dx = (px - x) / rx, dy = (py - y) / ry;
                    double k = strength * std::exp(-(dx * dx + dy * dy));
                    Rgb& d = at(sx, sy);
                    d = {d.r + c.r * k, d.g + c.g * k, d.b + c.b * k};
                });
    }

    // One picture pixel (stars, sparkles).
    void dot(int x, int y, Rgb c, double alpha) {
        for (int j = 0; j < SS; ++j)
            for (int i = 0; i < SS; ++i) {
                int sx = x * SS + i, sy = y * SS + j;
                if (sx >= 0 && sy >= 0 && sx < sw_ && sy < sh_) blend(sx, sy, c, alpha);
            }
    }

    // Average the samples, darken the corners a little, dither, quantize.
    sg::pack::Image resolve(std::uint32_t seed) const {
        sg::pack::Image out;
        out.width = width_;
        out.height = height_;
        out.bgr.resize(std::size_t(width_) * height_ * 3);
        Lcg noise{seed};
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                Rgb sum{0, 0, 0};
                for (int j = 0; j < SS; ++j)
                    for (int i = 0; i < SS; ++i) {
                        const Rgb& s = px_[std::size_t(y * SS + j) * sw_ + x * SS + i];
                        sum = {sum.r + s.r, sum.g + s.g, sum.b + s.b};
                    }
                double dx = (x + 0.5) / width_ - 0.5, dy = (y + 0.5) / height_ - 0.5;
                double vignette = 1.0 - 0.45 * (dx * dx + dy * dy);
                Rgb c = scale(sum, vignette / (SS * SS));
                // Smooth gradients band in 8 bits without a little noise.
                double n = noise.unit() - 0.5;
                auto q = [&](double v) {
                    return std::uint8_t(std::clamp(std::lround(v + n), 0L, 255L));
                };
                out.set(x, y, q(c.b), q(c.g), q(c.r));
            }
        return out;
    }

private:
    double cx(int sx) const { return (sx + 0.5) / SS; }
    double cy(int sy) const { return (sy + 0.5) / SS; }
    Rgb& at(int sx, int sy) { return px_[std::size_t(sy) * sw_ + sx]; }
    void blend(int sx, int sy, Rgb c, double alpha) {
        Rgb& d = at(sx, sy);
        d = mix(d, c, alpha);
    }
    template <class F>
    void for_box(double x0, double y0, double x1, double y1, F f) {
        int sx0 = std::max(0, int(std::floor(x0 * SS)));
        int sy0 = std::max(0, int(std::floor(y0 * SS)));
        int sx1 = std::min(sw_ - 1, int(std::ceil(x1 * SS)));
        int sy1 = std::min(sh_ - 1, int(std::ceil(y1 * SS)));
        for (int sy = sy0; sy <= sy1; ++sy)
            for (int sx = sx0; sx <= sx1; ++sx) f(sx, sy, cx(sx), cy(sy));
    }

    int width_, height_, sw_, sh_;
    std::vector<Rgb> px_;
};

// ---- the night picture ----

constexpr Pt MOON{508, 78};
constexpr double MOON_R = 22;

const Rgb HORIZON = rgb(72, 86, 142);

double far_ridge(double x) {
    return 262 + 20 * std::sin(0.0105 * x + 1.2) + 11 * std::sin(0.027 * x + 0.3) +
           5 * std::sin(0.071 * x + 2.0);
}
double mid_ridge(double x) {
    return 302 + 16 * std::sin(0.016 * x + 2.4) + 8 * std::sin(0.043 * x + 0.9) +
           4 * std::sin(0.09 * x);
}
double forest_line(double x) { return 334 + 5 * std::sin(0.02 * x + 1.0); }
double village_hill(double x) {
    return 348 + 9 * std::sin(0.008 * x + 0.3) + 5 * std::sin(0.029 * x + 1.7);
}
double foreground(double x) {
    return 414 + 9 * std::sin(0.011 * x + 2.2) + 5 * std::sin(0.037 * x + 0.4);
}

Rgb sky(double x, double y) {
    struct Stop {
        double y;
        Rgb c;
    };
    static const Stop stops[] = {{0, rgb(5, 8, 28)},
                                 {150, rgb(13, 22, 58)},
                                 {255, rgb(34, 48, 100)},
                                 {330, HORIZON}};
    Rgb c = stops[3].c;
    for (int i = 0; i < 3; ++i)
        if (y < stops[i + 1].y) {
            c = mix(stops[i].c, stops[i + 1].c,
                    smooth(0, 1, (y - stops[i].y) / (stops[i + 1].y - stops[i].y)));
            break;
        }
    double d = std::hypot(x - MOON.x, y - MOON.y);
    double halo = 0.55 * std::exp(-(d - MOON_R) / 38) + 0.18 * std::exp(-d / 170);
    Rgb glowC = rgb(120, 132, 176);
    return {c.r + glowC.r * halo, c.g + glowC.g * halo, c.b + glowC.b * halo};
}

void stars(Canvas& canvas) {
    Lcg rng{20231207};
    for (int i = 0; i < 260; ++i) {
        double x = rng.range(0, 640);
        double y = 265 * std::pow(rng.unit(), 1.5);
        double b = 0.25 + 0.75 * std::pow(rng.unit(), 2.2);
        double tint = rng.unit();
        if (std::hypot(x - MOON.x, y - MOON.y) < 60) continue;
        // Fainter towards the horizon haze.
        b *= 1.0 - smooth(150, 265, y) * 0.7;
        Rgb c = tint < 0.2 ? rgb(255, 236, 200) : tint < 0.45 ? rgb(200, 215, 255) : rgb(245, 248, 255);
        canvas.dot(int(x), int(y), c, b);
        if (b > 0.8) {
            for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
                canvas.dot(int(x) + dx, int(y) + dy, c, b * 0.3);
        }
    }
}

void moon(Canvas& canvas) {
    canvas.circle(MOON.x, MOON.y, MOON_R, [](double x, double y) {
        double d = std::hypot(x - MOON.x, y - MOON.y) / MOON_R;
        return mix(rgb(250, 247, 230), rgb(222, 216, 196), d * d * d);
    });
    struct Crater {
        double dx, dy, r;
    };
    for (Crater c : {Crater{-7, -5, 5}, Crater{6, 4, 4.2}, Crater{-3, 9, 3}, Crater{9, -8, 2.5},
                     Crater{-12, 4, 2.2}, Crater{2, -12, 2.8}})
        canvas.circle(MOON.x + c.dx, MOON.y + c.dy, c.r, flat(rgb(200, 196, 182)), 0.35);
}

std::vector<Pt> ridge_polygon(double (*ridge)(double), double bottom) {
    std::vector<Pt> pts;
    for (double x = -2; x <= 642; x += 2) pts.push_back({x, ridge(x)});
    pts.push_back({642, bottom});
    pts.push_back({-2, bottom});
    return pts;
}

// Snow caps on a mountain range: deeper on high ground and on the slopes
// that face the moon (to the upper right), ending in ragged streaks; mist
// gathers in the valleys below.
Shader mountain(double (*ridge)(double), Rgb rock, Rgb snow, double haze, double capDepth) {
    return [=](double x, double y) {
        double top = ridge(x);
        double slope = (ridge(x + 1) - ridge(x - 1)) / 2;
        double depth = y - top;
        double high = smooth(305, 245, top);
        double streaks = 0.55 + 0.3 * std::sin(x * 0.31) + 0.15 * std::sin(x * 0.83 + 1.3);
        double reach = capDepth * (0.4 + high) * streaks;
        double s = 1 - smooth(reach * 0.8, reach * 1.2, depth);
        double lit = 0.74 + 0.34 * clamp01(0.5 + 2.5 * slope);
        Rgb c = mix(scale(rock, 0.9 + 0.2 * clamp01(0.5 + 2 * slope)), scale(snow, lit), s);
        return mix(c, HORIZON, haze * (0.35 + 0.65 * smooth(0, 45, depth)));
    };
}

void pine(Canvas& canvas, double x, double base, double h, int tiers, double darkness = 0) {
    Rgb shade = mix(rgb(24, 50, 60), rgb(10, 20, 30), darkness);
    Rgb lit = mix(rgb(36, 70, 78), rgb(18, 30, 42), darkness);
    Rgb snowLit = rgb(232, 238, 252), snowShade = rgb(168, 184, 222);
    canvas.rect(x - h * 0.035, base - h * 0.14, h * 0.07, h * 0.15, flat(rgb(58, 42, 40)));
    double top = base - h;
    double tierH = h * 0.86 / (tiers * 0.72 + 0.28);
    for (int i = 0; i < tiers; ++i) {
        double t0 = top + i * tierH * 0.72;
        double t1 = t0 + tierH;
        double hw = h * (0.11 + 0.22 * (i + 1) / tiers);
        canvas.polygon({{x, t0}, {x + hw, t1}, {x - hw, t1}}, [=](double px, double) {
            return px > x ? lit : shade;
        });
        // Snow lies on the upper side of each tier: a V-shaped lower edge,
        // lowest at the branch tips, with a little wave.
        std::vector<Pt> snowPts{{x, t0 - 0.6}};
        for (int k = 0; k <= 16; ++k) {
            double u = 1.0 - k / 8.0;  // 1 .. -1, right tip to left tip
            double yy = t0 + (t1 - t0) * (0.42 + 0.5 * std::abs(u)) +
                        tierH * 0.06 * std::sin(u * 11 + i * 1.7);
            double xx = x + hw * 0.94 * u;
            if (k == 0 || k == 16) yy = t0 + (t1 - t0) * 0.95;
            snowPts.push_back({xx, yy});
        }
        canvas.polygon(snowPts, [=](double px, double) {
            return mix(snowShade, snowLit, smooth(x - hw * 0.3, x + hw * 0.5, px));
        });
    }
}

struct House {
    double x, width, wallH, roofH;
    Rgb wall;
    int windows;
    bool chimney;
};

void smoke(Canvas& canvas, double x, double y) {
    for (int i = 0; i < 12; ++i) {
        double px = x - i * 2.4 - 0.09 * i * i;
        double py = y - 3 - i * 4.2;
        canvas.circle(px, py, 1.8 + i * 0.75, flat(rgb(150, 160, 192)), 0.16 * (1 - i / 12.0));
    }
}

void lit_window(Canvas& canvas, double x, double y, double w, double h) {
    canvas.rect(x, y, w, h, [=](double, double py) {
        return mix(rgb(255, 226, 150), rgb(255, 178, 84), (py - y) / h);
    });
    canvas.rect(x + w / 2 - 0.5, y, 1, h, flat(rgb(70, 46, 40)));
    canvas.rect(x, y + h / 2 - 0.5, w, 1, flat(rgb(70, 46, 40)));
    canvas.glow(x + w / 2, y + h / 2, w * 1.3, h * 1.1, rgb(255, 170, 80), 0.32);
}

void house(Canvas& canvas, const House& hs) {
    double base = village_hill(hs.x) + 7;
    double l = hs.x - hs.width / 2, r = hs.x + hs.width / 2;
    double top = base - hs.wallH;
    // Warm light spilling onto the snow in front.
    canvas.glow(hs.x, base + 4, hs.width * 0.55, 5, rgb(255, 170, 90), 0.18);
    canvas.rect(l, top, hs.width, hs.wallH, [=](double px, double) {
        return px > hs.x + hs.width * 0.3 ? scale(hs.wall, 1.18) : hs.wall;
    });
    canvas.rect(l, top, hs.width, 2.5, flat(scale(hs.wall, 0.55)));  // eave shadow
    if (hs.chimney) {
        double cxl = r - hs.width * 0.28;
        canvas.rect(cxl, top - hs.roofH * 0.95, 6, hs.roofH * 0.8, flat(rgb(74, 56, 56)));
        canvas.rect(cxl - 1, top - hs.roofH * 0.95 - 2.5, 8, 3, flat(rgb(236, 240, 252)));
        smoke(canvas, cxl + 3, top - hs.roofH - 2);
    }
    // A roof under a thick blanket of snow.
    double ridgeY = top - hs.roofH;
    std::vector<Pt> roof{{l - 5, top + 1.5},
                         {l + hs.roofH * 0.7, ridgeY + 1},
                         {l + hs.roofH * 0.8, ridgeY - 0.5},
                         {r - hs.roofH * 0.8, ridgeY - 0.5},
                         {r - hs.roofH * 0.7, ridgeY + 1},
                         {r + 5, top + 1.5}};
    for (int k = 8; k >= 0; --k) {  // scalloped, drooping lower edge
        double u = k / 8.0;
        roof.push_back({l - 5 + (hs.width + 10) * u, top + 2.5 + 1.2 * std::sin(u * 17 + hs.x)});
    }
    canvas.polygon(roof, [=](double px, double py) {
        double v = clamp01((py - ridgeY) / (top - ridgeY));
        Rgb c = mix(rgb(240, 244, 255), rgb(180, 194, 230), v * v);
        return px > hs.x ? c : scale(c, 0.93);
    });
    // Windows evenly spaced; the door in the middle of the odd gap.
    double wy = top + hs.wallH * 0.3;
    double ww = 5.5, wh = std::min(8.0, hs.wallH * 0.34);
    for (int i = 0; i < hs.windows; ++i) {
        double wx = l + hs.width * (i + 0.5) / hs.windows - ww / 2;
        lit_window(canvas, wx, wy, ww, wh);
    }
    canvas.ellipse(hs.x, base + 1, hs.width * 0.62, 3.5, flat(rgb(222, 230, 250)));  // drift
}

void church(Canvas& canvas, double x) {
    double base = village_hill(x) + 7;
    double w = 46, wallH = 34, roofH = 22;
    Rgb stone = rgb(96, 94, 110);
    canvas.glow(x, base + 4, w * 0.6, 5, rgb(255, 170, 90), 0.2);
    canvas.rect(x - w / 2, base - wallH, w, wallH, [=](double px, double) {
        return px > x + 8 ? scale(stone, 1.15) : stone;
    });
    double top = base - wallH;
    std::vector<Pt> roof{{x - w / 2 - 4, top + 2}, {x - w / 2 + 14, top - roofH},
                         {x + w / 2 - 14, top - roofH}, {x + w / 2 + 4, top + 2}};
    canvas.polygon(roof, [=](double, double py) {
        return mix(rgb(240, 244, 255), rgb(182, 196, 232), clamp01((py - top + roofH) / roofH));
    });
    for (int i = 0; i < 3; ++i) {
        double wx = x - w / 2 + 7 + i * 13;
        canvas.rect(wx, top + 8, 5, 12, flat(rgb(255, 206, 120)));
        canvas.circle(wx + 2.5, top + 8, 2.5, flat(rgb(255, 214, 130)));
        canvas.glow(wx + 2.5, top + 13, 6, 9, rgb(255, 170, 80), 0.25);
    }
    // Tower at the left end, with a snowy spire and a lit round window.
    double tx = x - w / 2 + 2, tw = 16, tTop = top - 40;
    canvas.rect(tx, tTop, tw, base - tTop, [=](double px, double) {
        return px > tx + tw * 0.6 ? scale(stone, 1.15) : scale(stone, 0.95);
    });
    canvas.circle(tx + tw / 2, tTop + 12, 3.5, flat(rgb(255, 214, 130)));
    canvas.glow(tx + tw / 2, tTop + 12, 7, 7, rgb(255, 170, 80), 0.3);
    canvas.rect(tx + tw / 2 - 2.5, base - 12, 5, 12, flat(rgb(255, 190, 100)));  // door
    canvas.polygon({{tx - 3, tTop + 1}, {tx + tw / 2, tTop - 30}, {tx + tw + 3, tTop + 1}},
                   [=](double px, double) {
                       return px > tx + tw / 2 ? rgb(236, 240, 252) : rgb(182, 196, 232);
                   });
    canvas.rect(tx + tw / 2 - 0.6, tTop - 40, 1.2, 10, flat(rgb(206, 190, 150)));
    canvas.rect(tx + tw / 2 - 3, tTop - 37, 6, 1.2, flat(rgb(206, 190, 150)));
    canvas.ellipse(x, base + 1, w * 0.7, 3.5, flat(rgb(222, 230, 250)));
}

void fence(Canvas& canvas, double x0, double x1) {
    Rgb wood = rgb(70, 52, 48), snow = rgb(236, 242, 255);
    auto groundAt = [](double x) { return foreground(x) + 14; };
    for (int rail = 0; rail < 2; ++rail) {
        std::vector<Pt> pts;
        double off = rail == 0 ? 13 : 6;
        for (double x = x0; x <= x1; x += 4) pts.push_back({x, groundAt(x) - off});
        for (double x = x1; x >= x0; x -= 4) pts.push_back({x, groundAt(x) - off + 2});
        canvas.polygon(pts, flat(wood));
        std::vector<Pt> cap;
        for (double x = x0; x <= x1; x += 4) cap.push_back({x, groundAt(x) - off - 1.4});
        for (double x = x1; x >= x0; x -= 4) cap.push_back({x, groundAt(x) - off + 0.2});
        canvas.polygon(cap, flat(snow));
    }
    for (double x = x0; x <= x1 + 0.1; x += (x1 - x0) / 5) {
        double g = groundAt(x);
        canvas.rect(x - 1.5, g - 19, 3, 19, flat(wood));
        canvas.ellipse(x, g - 19, 2.4, 1.6, flat(snow));
    }
}

void sparkles(Canvas& canvas, double (*ground)(double), double yMax, int count, std::uint32_t seed) {
    Lcg rng{seed};
    for (int i = 0; i < count; ++i) {
        double x = rng.range(0, 640);
        double y = rng.range(ground(x) + 3, yMax);
        double b = rng.unit();
        canvas.dot(int(x), int(y), b < 0.5 ? rgb(255, 255, 255) : rgb(200, 220, 255),
                   0.35 + 0.5 * b);
    }
}

// ---- snowflakes ----

struct Flake {
    double radius;       // pixels, arm tip to centre
    double armWidth;     // half width at the centre, in radii
    struct Branch {
        double at, length, halfWidth;
    };
    std::vector<Branch> branches;
    double hub;          // centre hexagon, circumradius in radii (0: none)
    bool plates;         // broad leaves on the arms
    bool tips;           // small hexagons at the arm tips
    bool outline;
    Rgb body, detail, edge;
    int turnDirection;   // +1 or -1
    double tumble;       // how far the flake tips over (0: it only turns)
};

Flake flake_design(int layer) {
    switch (layer) {
    case 0:  // far away: small, plain, a little dimmed by the night air
        return {5.5, 0.17, {}, 0.0, false, false, false, rgb(188, 202, 232), rgb(188, 202, 232),
                rgb(0, 0, 0), 1, 0.0};
    case 1:
        return {10.5, 0.1, {{0.58, 0.32, 0.065}}, 0.0, false, false, false, rgb(212, 224, 246),
                rgb(212, 224, 246), rgb(0, 0, 0), -1, 0.08};
    case 2:  // near: a dendrite with three pairs of branches
        return {21.0, 0.075, {{0.36, 0.32, 0.05}, {0.6, 0.27, 0.05}, {0.82, 0.15, 0.045}}, 0.26,
                false, true, true, rgb(236, 243, 255), rgb(172, 196, 238), rgb(112, 138, 192), 1,
                0.2};
    default:  // nearest: a stellar plate
        return {27.5, 0.085, {{0.4, 0.2, 0.045}, {0.86, 0.12, 0.04}}, 0.33, true, true, true,
                rgb(246, 250, 255), rgb(182, 206, 242), rgb(110, 134, 190), -1, 0.22};
    }
}

double seg_dist(double px, double py, double ax, double ay, double bx, double by) {
    double vx = bx - ax, vy = by - ay;
    double t = clamp01(((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy));
    return std::hypot(px - ax - vx * t, py - ay - vy * t);
}

// Inside a regular hexagon with corners on the arms (at 0, 60, ... degrees).
bool in_hex(double x, double y, double circumradius) {
    double apothem = circumradius * std::cos(PI / 6);
    for (double a : {PI / 6, PI / 2, 5 * PI / 6})
        if (std::abs(x * std::cos(a) + y * std::sin(a)) > apothem) return false;
    return true;
}

// 0 outside, 1 body, 2 detail; q in radii, arm 0 along +x.
int flake_class(const Flake& f, double qx, double qy) {
    double r = std::hypot(qx, qy);
    if (r > 1.08) return 0;
    // Fold into the sector around arm 0 and mirror: six-fold, symmetric arms.
    double a = std::atan2(qy, qx);
    a = std::fmod(a + PI / 6 + 4 * PI, PI / 3) - PI / 6;
    double x = r * std::cos(a), y = std::abs(r * std::sin(a));

    bool inside = false, detail = false;
    double halfW = f.armWidth * (1 - 0.35 * x);
    if (x >= 0 && x <= 0.96 && y <= halfW) {
        inside = true;
        if (f.hub > 0 && x > f.hub && x < 0.8 && y < 0.022) detail = true;
    }
    for (const auto& b : f.branches) {
        double bx = b.at + b.length * std::cos(PI / 3), by = b.length * std::sin(PI / 3);
        if (seg_dist(x, y, b.at, 0, bx, by) <= b.halfWidth) inside = true;
    }
    if (f.plates) {
        double mid = 0.62, half = 0.17;
        double w = 0.2 * (1 - std::abs(x - mid) / half);
        if (std::abs(x - mid) < half && y < w) {
            inside = true;
            if (y < w - 0.05 && y > w - 0.08) detail = true;
        }
    }
    if (f.tips && in_hex(x - 0.93, y, 0.1)) inside = true;
    if (f.hub > 0 && in_hex(qx, qy, f.hub)) {
        inside = true;
        bool outer = in_hex(qx, qy, f.hub * 0.72), inner = in_hex(qx, qy, f.hub * 0.5);
        detail = outer && !inner;
    }
    return inside ? (detail ? 2 : 1) : 0;
}

}  // namespace

Bgr flake_key(int layer) { return layer % 2 == 0 ? KEY_GREEN : KEY_PINK; }
int flake_frame_size(int layer) { return layer < 2 ? 32 : 64; }

sg::pack::Image night_picture() {
    Canvas canvas(PICTURE_WIDTH, PICTURE_HEIGHT);
    canvas.fill_all(sky);
    stars(canvas);
    moon(canvas);
    canvas.polygon(ridge_polygon(far_ridge, 482),
                   mountain(far_ridge, rgb(50, 62, 106), rgb(156, 170, 212), 0.5, 24));
    canvas.polygon(ridge_polygon(mid_ridge, 482),
                   mountain(mid_ridge, rgb(36, 48, 86), rgb(176, 190, 228), 0.3, 20));
    {
        Lcg rng{7};
        for (double x = -6; x < 648; x += rng.range(4, 10)) {
            double h = rng.range(8, 19);
            double b = forest_line(x) + 5;
            canvas.polygon({{x, b - h}, {x + h * 0.33, b}, {x - h * 0.33, b}},
                           flat(mix(rgb(22, 34, 60), rgb(34, 48, 78), rng.unit())));
            canvas.polygon({{x, b - h - 0.3}, {x + h * 0.12, b - h * 0.62}, {x - h * 0.1, b - h * 0.6}},
                           flat(rgb(150, 166, 208)), 0.8);
        }
    }
    canvas.polygon(ridge_polygon(village_hill, 482), [](double x, double y) {
        double v = smooth(village_hill(x), 430, y);
        Rgb c = mix(rgb(178, 192, 230), rgb(206, 217, 245), v);
        return scale(c, 0.94 + 0.08 * x / 640 + 0.02 * std::sin(0.05 * x + 0.03 * y));
    });
    // Village: back row first.
    pine(canvas, 60, village_hill(60) + 8, 34, 3, 0.25);
    pine(canvas, 226, village_hill(226) + 6, 30, 3, 0.25);
    pine(canvas, 352, village_hill(352) + 6, 28, 3, 0.25);
    house(canvas, {104, 44, 24, 15, rgb(92, 62, 58), 2, true});
    house(canvas, {168, 58, 30, 18, rgb(78, 58, 72), 3, true});
    church(canvas, 296);
    house(canvas, {398, 48, 26, 16, rgb(88, 60, 52), 2, false});
    house(canvas, {462, 62, 32, 19, rgb(72, 58, 70), 3, true});
    house(canvas, {534, 40, 22, 14, rgb(92, 68, 56), 2, true});
    pine(canvas, 430, village_hill(430) + 12, 38, 3, 0.15);
    pine(canvas, 502, village_hill(502) + 13, 30, 3, 0.15);
    pine(canvas, 584, village_hill(584) + 10, 44, 4, 0.15);
    sparkles(canvas, village_hill, 410, 60, 99);

    canvas.polygon(ridge_polygon(foreground, 482), [](double x, double y) {
        double crest = 1 - smooth(0, 5, y - foreground(x));
        double drift = 0.5 + 0.5 * std::sin(0.017 * x + 0.06 * (y - 410));
        Rgb c = mix(rgb(200, 212, 242), rgb(234, 240, 255), 0.55 * drift + 0.25 * (y - 400) / 80);
        return mix(c, rgb(246, 249, 255), crest * 0.7);
    });
    // A trodden path winding towards the village.
    {
        std::vector<Pt> path;
        for (double y = 482; y >= foreground(300) + 2; y -= 3) {
            double t = (482 - y) / 70;
            path.push_back({300 + 40 * std::sin(t * 2.2) + 26 * (1 - t), y});
        }
        for (double y = foreground(300) + 2; y <= 482; y += 3) {
            double t = (482 - y) / 70;
            double cxp = 300 + 40 * std::sin(t * 2.2) + 26 * (1 - t);
            path.push_back({cxp + 4 + 26 * (1 - t), y});
        }
        canvas.polygon(path, flat(rgb(180, 194, 230)), 0.45);
    }
    fence(canvas, 120, 230);
    sparkles(canvas, foreground, 480, 140, 4242);
    pine(canvas, 96, foreground(96) + 20, 104, 4);
    pine(canvas, 548, foreground(548) + 22, 96, 4);
    pine(canvas, 30, 486, 168, 5);
    pine(canvas, 616, 490, 186, 5);
    return canvas.resolve(1207);
}

std::vector<sg::pack::Image> flake_frames(int layer) {
    if (layer < 0 || layer > 3) throw std::invalid_argument("flake layers are 0 to 3");
    const Flake f = flake_design(layer);
    const int size = flake_frame_size(layer);
    const Bgr key = flake_key(layer);
    constexpr int SUB = 4;
    std::vector<sg::pack::Image> frames;
    for (int n = 0; n < FLAKE_FRAMES; ++n) {
        double phase = double(n) / FLAKE_FRAMES;
        // A sixth of a turn per cycle looks the same at both ends, so the
        // loop has no seam; the tumble is a full cosine period for the same reason.
        double turn = f.turnDirection * phase * PI / 3;
        double squash = 1 - f.tumble * (0.5 - 0.5 * std::cos(2 * PI * phase));
        double c = size / 2.0;
        std::vector<int> cls(std::size_t(size) * size, 0);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                int hits = 0, details = 0;
                for (int j = 0; j < SUB; ++j)
                    for (int i = 0; i < SUB; ++i) {
                        double px = (x + (i + 0.5) / SUB - c) / squash;
                        double py = y + (j + 0.5) / SUB - c;
                        double qx = (px * std::cos(turn) + py * std::sin(turn)) / f.radius;
                        double qy = (-px * std::sin(turn) + py * std::cos(turn)) / f.radius;
                        int k = flake_class(f, qx, qy);
                        hits += k > 0;
                        details += k == 2;
                    }
                if (hits * 2 >= SUB * SUB) cls[std::size_t(y) * size + x] = details * 3 >= SUB * SUB ? 2 : 1;
            }
        sg::pack::Image img;
        img.width = size;
        img.height = size;
        img.bgr.resize(std::size_t(size) * size * 3);
        auto put = [&](int x, int y, Rgb col) {
            img.set(x, y, std::uint8_t(col.b), std::uint8_t(col.g), std::uint8_t(col.r));
        };
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                int k = cls[std::size_t(y) * size + x];
                if (k == 0) {
                    img.set(x, y, key[0], key[1], key[2]);
                    continue;
                }
                bool border = false;
                for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                    int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= size || ny >= size ||
                        cls[std::size_t(ny) * size + nx] == 0)
                        border = true;
                }
                put(x, y, f.outline && border ? f.edge : k == 2 ? f.detail : f.body);
            }
        frames.push_back(std::move(img));
    }
    return frames;
}

}  // namespace sg::scenes
