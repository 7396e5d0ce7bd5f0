"""Blender F-curves to the scene file's curves and back.

The engine evaluates a Bezier segment at the fraction of its time span without solving the curve for
time, which equals Blender's result only where both handles lie a third of the segment away in time.
Segments whose handles lie elsewhere, and segments of the easing modes, are cut into pieces whose handles
do lie at the thirds, with the slopes of Blender's curve at the cuts, until the pieces follow Blender's
curve within TOLERANCE.
"""

import math

# The largest difference allowed between Blender's curve and the pieces that stand in for it.
TOLERANCE = 2e-6
MAX_PIECES = 256

ENGINE_FPS = 25.0


class Key:
    __slots__ = ("frame", "value", "left", "right")

    def __init__(self, frame, value, left, right):
        self.frame = frame
        self.value = value
        self.left = left
        self.right = right


class Curve:
    """A curve as a description writes it: keys with handles, times already in engine frames."""

    def __init__(self, interpolation, extrapolation, keys):
        self.interpolation = interpolation
        self.extrapolation = extrapolation
        self.keys = keys

    def scaled(self, factor, offset=0.0):
        def point(p):
            return (p[0], p[1] * factor + offset)

        return Curve(self.interpolation, self.extrapolation,
                     [Key(k.frame, k.value * factor + offset, point(k.left), point(k.right)) for k in self.keys])

    def constant_value(self):
        """The value of a curve that never changes, or None."""
        values = {k.value for k in self.keys}
        if self.interpolation == "Bezier":
            values |= {k.left[1] for k in self.keys} | {k.right[1] for k in self.keys}
        return self.keys[0].value if len(values) == 1 else None


def constant_curve(value):
    return Curve("Constant", "Constant", [Key(1.0, value, (1.0, value), (1.0, value))])


class TimeMap:
    """Blender frames to engine frames: the scene's first frame becomes frame 1, at 25 a second."""

    def __init__(self, frame_start, fps):
        self.frame_start = frame_start
        self.factor = ENGINE_FPS / fps

    def to_engine(self, frame):
        return 1.0 + (frame - self.frame_start) * self.factor


# --- Blender's Bezier segment, evaluated in double precision -------------------------------------


def corrected_handles(p0, p1, p2, p3):
    """Blender shortens handles that reach past the other key in time, keeping their directions."""
    h1 = (p0[0] - p1[0], p0[1] - p1[1])
    h2 = (p3[0] - p2[0], p3[1] - p2[1])
    length = p3[0] - p0[0]
    len1 = abs(h1[0])
    len2 = abs(h2[0])
    if len1 + len2 == 0.0 or len1 + len2 <= length:
        return p1, p2
    fac = length / (len1 + len2)
    return (p0[0] - fac * h1[0], p0[1] - fac * h1[1]), (p3[0] - fac * h2[0], p3[1] - fac * h2[1])


def _cubic(a, b, c, d, s):
    t = 1.0 - s
    return t * t * t * a + 3.0 * t * t * s * b + 3.0 * t * s * s * c + s * s * s * d


def _cubic_slope(a, b, c, d, s):
    t = 1.0 - s
    return 3.0 * t * t * (b - a) + 6.0 * t * s * (c - b) + 3.0 * s * s * (d - c)


class BezierSegment:
    def __init__(self, p0, p1, p2, p3):
        p1, p2 = corrected_handles(p0, p1, p2, p3)
        self.x = (p0[0], p1[0], p2[0], p3[0])
        self.y = (p0[1], p1[1], p2[1], p3[1])

    def parameter(self, frame):
        # x(s) rises monotonically once the handles are corrected: bisection is safe, Newton is fast.
        lo, hi = 0.0, 1.0
        s = (frame - self.x[0]) / (self.x[3] - self.x[0])
        for _ in range(100):
            s = min(max(s, lo), hi)
            err = _cubic(*self.x, s) - frame
            if abs(err) < 1e-13:
                break
            if err > 0:
                hi = s
            else:
                lo = s
            slope = _cubic_slope(*self.x, s)
            step = s - err / slope if slope > 1e-12 else 0.5 * (lo + hi)
            s = step if lo < step < hi else 0.5 * (lo + hi)
        return s

    def value(self, frame):
        return _cubic(*self.y, self.parameter(frame))

    def slope(self, frame):
        s = self.parameter(frame)
        dx = _cubic_slope(*self.x, s)
        if dx > 1e-9:
            return _cubic_slope(*self.y, s) / dx
        h = 1e-4 * (self.x[3] - self.x[0])
        a = max(self.x[0], frame - h)
        b = min(self.x[3], frame + h)
        return (self.value(b) - self.value(a)) / (b - a)


def _at_thirds(p0, p1, p2, p3):
    span = p3[0] - p0[0]
    return abs((p1[0] - p0[0]) - span / 3.0) <= 1e-5 * span and abs((p3[0] - p2[0]) - span / 3.0) <= 1e-5 * span


def _pieces(x0, x1, value, slope, tolerance):
    """Hermite pieces with handles at the thirds standing in for value() over [x0, x1]: a piece that
    strays further than tolerance is halved, so pieces stay long where the curve is calm and shrink
    where it bends sharply (next to a short handle the curve may turn like a square root)."""
    xs, ys, ms = [x0], [value(x0)], [slope(x0)]
    worst = 0.0
    pending = [(x1, value(x1), slope(x1), 0)]
    while pending:
        xb, yb, mb, depth = pending[-1]
        xa, ya, ma = xs[-1], ys[-1], ms[-1]
        h = xb - xa
        p = (ya, ya + ma * h / 3.0, yb - mb * h / 3.0, yb)
        error = max(abs(_cubic(*p, f) - value(xa + f * h)) for f in (0.125, 0.25, 0.375, 0.5, 0.625, 0.75, 0.875))
        if error > tolerance and depth < 24 and len(xs) < MAX_PIECES:
            xm = xa + h / 2.0
            pending.append((xm, value(xm), slope(xm), depth + 1))
            continue
        pending.pop()
        worst = max(worst, error)
        xs.append(xb)
        ys.append(yb)
        ms.append(mb)
    return xs, ys, ms, worst


def _numeric(evaluate, x0, x1):
    """value() and slope() of a segment Blender evaluates itself (the easing modes)."""
    h = 1e-3 * (x1 - x0)

    def slope(x):
        a = max(x0, x - h)
        b = min(x1, x + h)
        return (evaluate(b) - evaluate(a)) / (b - a)

    return evaluate, slope


def convert_segments(points, evaluate, notes):
    """Engine keys (Blender frames still) for a curve of Bezier-like segments.

    points: per key (frame, value, handle_left, handle_right, interpolation) as Blender holds them.
    evaluate: Blender's own evaluation, used for the easing modes.
    """
    out = [Key(points[0][0], points[0][1], points[0][2], points[0][3])]
    worst = 0.0
    for i in range(len(points) - 1):
        a, b = points[i], points[i + 1]
        x0, x1 = a[0], b[0]
        h = x1 - x0
        mode = a[4]
        if mode == "LINEAR":
            out[-1].right = (x0 + h / 3.0, a[1] + (b[1] - a[1]) / 3.0)
            out.append(Key(x1, b[1], (x1 - h / 3.0, b[1] - (b[1] - a[1]) / 3.0), b[3]))
            continue
        if mode == "CONSTANT":
            notes.add("a Constant key among keys of other modes is exported as a flat Bezier ramp")
            out[-1].right = (x0 + h / 3.0, a[1])
            out.append(Key(x1, b[1], (x1 - h / 3.0, a[1]), b[3]))
            continue
        if mode == "BEZIER":
            p0, p1, p2, p3 = (a[0], a[1]), a[3], b[2], (b[0], b[1])
            if _at_thirds(p0, p1, p2, p3):
                out[-1].right = p1
                out.append(Key(x1, b[1], p2, b[3]))
                continue
            segment = BezierSegment(p0, p1, p2, p3)
            value, slope = segment.value, segment.slope
        else:
            notes.add("the easing mode %s is approximated by Bezier pieces" % mode.title())
            value, slope = _numeric(evaluate, x0, x1)
        xs, ys, ms, error = _pieces(x0, x1, value, slope, TOLERANCE)
        worst = max(worst, error)
        for j in range(len(xs) - 1):
            step = xs[j + 1] - xs[j]
            out[-1].right = (xs[j] + step / 3.0, ys[j] + ms[j] * step / 3.0)
            nxt = Key(xs[j + 1], ys[j + 1], (xs[j + 1] - step / 3.0, ys[j + 1] - ms[j + 1] * step / 3.0), None)
            out.append(nxt)
        out[-1].value = b[1]
        out[-1].right = b[3]
    if worst > TOLERANCE:
        notes.add("a segment differs from Blender's curve by up to %.2g in %d pieces" % (worst, MAX_PIECES))
    return out


def fcurve_points(fcurve):
    return [(k.co[0], k.co[1], tuple(k.handle_left), tuple(k.handle_right), k.interpolation)
            for k in fcurve.keyframe_points]


def convert_fcurve(fcurve, time_map, notes):
    """The engine curve of one F-curve; notes receives what does not carry over exactly."""
    points = fcurve_points(fcurve)
    if not points:
        return None
    extrapolation = "Constant"
    for modifier in fcurve.modifiers:
        if modifier.mute:
            continue
        if modifier.type != "CYCLES":
            notes.add("the F-curve modifier %s is not exported" % modifier.type.title())
            continue
        if modifier.use_restricted_range or modifier.use_influence:
            notes.add("a Cycles modifier's restricted range or influence is not exported")
        after = modifier.mode_after
        if after == "REPEAT":
            extrapolation = "Cyclic"
        elif after == "REPEAT_OFFSET":
            extrapolation = "Cyclic_extrapolation"
        elif after == "MIRROR":
            extrapolation = "Cyclic"
            notes.add("a mirrored Cycles modifier is exported as a plain repeat")
        if modifier.cycles_after != 0:
            notes.add("a Cycles modifier's count of %d repeats is exported as endless" % modifier.cycles_after)
        if modifier.mode_before != after and time_map.to_engine(points[0][0]) > 1.0:
            notes.add("a Cycles modifier's mode before the first key differs from after the last; "
                      "the engine holds the first key before it")
    if fcurve.extrapolation == "LINEAR" and extrapolation == "Constant":
        notes.add("Linear extrapolation is exported as Constant")
    if extrapolation != "Constant" and len(points) < 2:
        extrapolation = "Constant"

    modes = {p[4] for p in points[:-1]} or {points[0][4]}
    if modes == {"CONSTANT"}:
        interpolation = "Constant"
        keys = [Key(p[0], p[1], (p[0], p[1]), (p[0], p[1])) for p in points]
    elif modes == {"LINEAR"}:
        interpolation = "Linear"
        keys = [Key(p[0], p[1], (p[0], p[1]), (p[0], p[1])) for p in points]
    else:
        interpolation = "Bezier"
        keys = convert_segments(points, fcurve.evaluate, notes)
    engine_keys = []
    for k in keys:
        f = time_map.to_engine
        engine_keys.append(Key(f(k.frame), k.value, (f(k.left[0]), k.left[1]), (f(k.right[0]), k.right[1])))
    return Curve(interpolation, extrapolation, engine_keys)


def sample(curve, frame):
    """The engine's value of a curve at an engine frame (the same rules as its curve player)."""
    keys = curve.keys
    n = len(keys)
    if n == 0:
        return 0.0
    first, last = keys[0].frame, keys[-1].frame
    cycles = 0
    if n > 1 and last > first and curve.extrapolation != "Constant":
        period = last - first
        if frame > last:
            cycles = math.ceil((frame - last) / period)
            frame -= cycles * period
        elif frame < first:
            frame = first
    if n == 1 or not last > first:
        return keys[0].value
    if frame <= first:
        value = keys[0].value
    elif frame >= last:
        value = keys[-1].value
    else:
        i = max(j for j in range(n - 1) if keys[j].frame < frame) if frame > first else 0
        a, b = keys[i], keys[i + 1]
        f = (frame - a.frame) / (b.frame - a.frame)
        if curve.interpolation == "Constant":
            value = a.value
        elif curve.interpolation == "Linear":
            value = (1 - f) * a.value + f * b.value
        else:
            value = _cubic(a.value, a.right[1], b.left[1], b.value, f)
    if curve.extrapolation == "Cyclic_extrapolation":
        value += (keys[-1].value - keys[0].value) * cycles
    return value
