#include "polygonFill.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace quorvel::content {

namespace {

double Cross(const Float2& a, const Float2& b, const Float2& c) {
    return (static_cast<double>(b[0]) - a[0]) * (static_cast<double>(c[1]) - a[1]) -
           (static_cast<double>(b[1]) - a[1]) * (static_cast<double>(c[0]) - a[0]);
}

// Even-odd rule: whether a ray from the point towards +x crosses the contour an odd number of times.
bool Encloses(const std::vector<Float2>& contour, const Float2& point) {
    bool inside = false;
    for (std::size_t i = 0, j = contour.size() - 1; i < contour.size(); j = i++) {
        const Float2 &a = contour[i], &b = contour[j];
        if ((a[1] > point[1]) != (b[1] > point[1]) &&
            point[0] < (b[0] - a[0]) * (point[1] - a[1]) / (b[1] - a[1]) + a[0])
            inside = !inside;
    }
    return inside;
}

// Inside the counter-clockwise triangle or on its edges.
bool InTriangle(const Float2& a, const Float2& b, const Float2& c, const Float2& p) {
    return Cross(a, b, p) >= 0 && Cross(b, c, p) >= 0 && Cross(c, a, p) >= 0;
}

class Filler {
public:
    explicit Filler(const std::vector<Float2>& points) : points(points) {}

    // Joins the hole (clockwise) into the ring (counter-clockwise) by a cut from the hole's rightmost
    // point to a point of the ring it can see, walked both ways.
    void Bridge(std::vector<std::uint32_t>& ring, const std::vector<std::uint32_t>& hole) const {
        std::size_t m = 0;
        for (std::size_t i = 1; i < hole.size(); ++i)
            if (points[hole[i]][0] > points[hole[m]][0])
                m = i;
        const Float2 mp = points[hole[m]];
        // The nearest crossing of the ring by the ray from M towards +x, and the edge's end further
        // right, which is visible unless a reflex point of the ring lies in the triangle between.
        double nearest = std::numeric_limits<double>::infinity();
        std::size_t candidate = ring.size();
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const Float2 &a = points[ring[i]], &b = points[ring[(i + 1) % ring.size()]];
            if ((a[1] > mp[1]) == (b[1] > mp[1]) && a[1] != mp[1])
                continue;
            if (a[1] == b[1])
                continue;
            const double x = a[0] + (static_cast<double>(mp[1]) - a[1]) * (b[0] - a[0]) / (b[1] - a[1]);
            if (x >= mp[0] && x < nearest) {
                nearest = x;
                candidate = a[0] > b[0] ? i : (i + 1) % ring.size();
            }
        }
        if (candidate == ring.size()) {
            // No crossing (a hole poking out of its shape): the ring's closest point will do.
            double best = std::numeric_limits<double>::infinity();
            for (std::size_t i = 0; i < ring.size(); ++i) {
                const double d = std::hypot(points[ring[i]][0] - mp[0], points[ring[i]][1] - mp[1]);
                if (d < best)
                    best = d, candidate = i;
            }
        } else {
            const Float2 hit{static_cast<float>(nearest), mp[1]};
            const Float2 cp = points[ring[candidate]];
            double bestAngle = std::numeric_limits<double>::infinity();
            for (std::size_t i = 0; i < ring.size(); ++i) {
                const Float2& p = points[ring[i]];
                if (i == candidate || p == mp || p == cp)
                    continue;
                const Float2& before = points[ring[(i + ring.size() - 1) % ring.size()]];
                const Float2& after = points[ring[(i + 1) % ring.size()]];
                if (Cross(before, p, after) > 0)
                    continue; // convex points cannot block the view
                const bool inside = mp[1] <= cp[1] ? InTriangle(mp, hit, cp, p) : InTriangle(mp, cp, hit, p);
                if (!inside)
                    continue;
                const double angle = std::atan2(std::abs(p[1] - mp[1]), p[0] - mp[0]);
                if (angle < bestAngle)
                    bestAngle = angle, candidate = i;
            }
        }
        std::vector<std::uint32_t> joined(ring.begin(), ring.begin() + static_cast<long>(candidate) + 1);
        for (std::size_t k = 0; k <= hole.size(); ++k)
            joined.push_back(hole[(m + k) % hole.size()]);
        joined.push_back(ring[candidate]);
        joined.insert(joined.end(), ring.begin() + static_cast<long>(candidate) + 1, ring.end());
        ring = std::move(joined);
    }

    // Ear clipping; where no clean ear is left (a ring that touches itself) the most convex corner is
    // cut, so that the ring is always used up.
    void Clip(const std::vector<std::uint32_t>& ring, std::vector<std::uint32_t>& triangles) const {
        const std::size_t n = ring.size();
        std::vector<std::size_t> next(n), prev(n);
        for (std::size_t i = 0; i < n; ++i) {
            next[i] = (i + 1) % n;
            prev[i] = (i + n - 1) % n;
        }
        std::size_t left = n, at = 0;
        auto point = [&](std::size_t i) -> const Float2& { return points[ring[i]]; };
        auto isEar = [&](std::size_t i) {
            const Float2 &a = point(prev[i]), &b = point(i), &c = point(next[i]);
            if (Cross(a, b, c) <= 0)
                return false;
            for (std::size_t j = next[next[i]]; j != prev[i]; j = next[j]) {
                const Float2& p = point(j);
                if (p == a || p == b || p == c)
                    continue;
                if (Cross(point(prev[j]), p, point(next[j])) <= 0 && InTriangle(a, b, c, p))
                    return false;
            }
            return true;
        };
        auto cut = [&](std::size_t i) {
            triangles.insert(triangles.end(), {ring[prev[i]], ring[i], ring[next[i]]});
            next[prev[i]] = next[i];
            prev[next[i]] = prev[i];
            --left;
            at = next[i];
        };
        while (left > 3) {
            std::size_t i = at, tried = 0;
            while (tried < left && !isEar(i)) {
                i = next[i];
                ++tried;
            }
            if (tried < left) {
                cut(i);
                continue;
            }
            std::size_t flattest = at;
            double best = -std::numeric_limits<double>::infinity();
            i = at;
            for (tried = 0; tried < left; ++tried, i = next[i]) {
                const double turn = Cross(point(prev[i]), point(i), point(next[i]));
                if (turn > best)
                    best = turn, flattest = i;
            }
            cut(flattest);
        }
        triangles.insert(triangles.end(), {ring[prev[at]], ring[at], ring[next[at]]});
    }

private:
    const std::vector<Float2>& points;
};

} // namespace

double SignedArea(const std::vector<Float2>& contour) {
    double area = 0;
    for (std::size_t i = 0, j = contour.size() - 1; i < contour.size(); j = i++)
        area += (static_cast<double>(contour[j][0]) - contour[i][0]) *
                (static_cast<double>(contour[j][1]) + contour[i][1]);
    return area;
}

std::vector<std::uint32_t> FillContours(std::vector<std::vector<Float2>>& contours) {
    // How deep each contour is nested, and the contour right around each hole.
    const std::size_t count = contours.size();
    std::vector<int> depth(count, 0);
    std::vector<std::size_t> parent(count, count);
    std::vector<double> area(count);
    for (std::size_t c = 0; c < count; ++c)
        area[c] = contours[c].size() < 3 ? 0 : std::abs(SignedArea(contours[c]));
    for (std::size_t c = 0; c < count; ++c)
        for (std::size_t o = 0; o < count; ++o)
            if (o != c && area[o] > area[c] && !contours[c].empty() &&
                Encloses(contours[o], contours[c][0])) {
                ++depth[c];
                if (parent[c] == count || area[o] < area[parent[c]])
                    parent[c] = o;
            }

    std::vector<Float2> points;
    std::vector<std::vector<std::uint32_t>> rings(count);
    for (std::size_t c = 0; c < count; ++c) {
        if ((SignedArea(contours[c]) < 0) == (depth[c] % 2 == 0))
            std::reverse(contours[c].begin(), contours[c].end());
        for (const Float2& p : contours[c]) {
            rings[c].push_back(static_cast<std::uint32_t>(points.size()));
            points.push_back(p);
        }
    }

    Filler filler(points);
    std::vector<std::uint32_t> triangles;
    for (std::size_t c = 0; c < count; ++c) {
        if (depth[c] % 2 != 0 || rings[c].size() < 3)
            continue;
        std::vector<std::uint32_t> ring = rings[c];
        std::vector<std::size_t> holes;
        for (std::size_t h = 0; h < count; ++h)
            if (parent[h] == c && depth[h] % 2 != 0 && rings[h].size() >= 3)
                holes.push_back(h);
        auto rightmost = [&](std::size_t h) {
            float x = -std::numeric_limits<float>::infinity();
            for (const Float2& p : contours[h])
                x = std::max(x, p[0]);
            return x;
        };
        std::sort(holes.begin(), holes.end(), [&](std::size_t a, std::size_t b) {
            return rightmost(a) > rightmost(b) || (rightmost(a) == rightmost(b) && a < b);
        });
        for (std::size_t h : holes) {
            filler.Bridge(ring, rings[h]);
        }
        filler.Clip(ring, triangles);
    }
    return triangles;
}

} // namespace quorvel::content
