"""Readers for the compiled formats the importer takes back: scenes (.demo) and meshes (.tvo).

Both are little-endian with int32 counts and float32 values (docs/file-formats-scenes.md). Every read is
checked against what is left, so a broken file ends in FormatError naming the file, the field and the
byte offset, never in a wrong object.
"""

import struct


class FormatError(Exception):
    pass


class _Reader:
    def __init__(self, data, path):
        self.data = data
        self.path = path
        self.at = 0

    def take(self, size, what):
        if size < 0 or self.at + size > len(self.data):
            raise FormatError("%s: file ends inside %s at byte %d (%d bytes needed, %d left)" % (
                self.path, what, self.at, size, len(self.data) - self.at))
        chunk = self.data[self.at:self.at + size]
        self.at += size
        return chunk

    def int32(self, what):
        return struct.unpack("<i", self.take(4, what))[0]

    def count(self, what, record_size):
        n = self.int32(what)
        if n < 0 or n * record_size > len(self.data) - self.at:
            raise FormatError("%s: %s %d at byte %d does not fit in the %d bytes left" % (
                self.path, what, n, self.at - 4, len(self.data) - self.at))
        return n

    def floats(self, n, what):
        return list(struct.unpack("<%df" % n, self.take(4 * n, what)))

    def string(self, what):
        n = self.count(what + " length", 1)
        raw = self.take(n, what)
        try:
            return raw.decode("utf-8")
        except UnicodeDecodeError:
            return raw.decode("latin-1")


class DemoCurve:
    def __init__(self, channel, interpolation, extrapolation, keys):
        self.channel = channel
        self.interpolation = interpolation
        self.extrapolation = extrapolation
        # (left time, left value, time, value, right time, right value)
        self.keys = keys


class DemoObject:
    def __init__(self):
        self.type = self.name = self.mesh = self.parent = ""
        self.position = self.rotation = (0.0, 0.0, 0.0)
        self.curves = []


def read_demo(path):
    with open(path, "rb") as f:
        r = _Reader(f.read(), path)
    if r.take(4, "the magic") != b"DEMO":
        raise FormatError("%s: not a .demo scene" % path)
    count = r.count("object count", 16)
    length = r.int32("scene length")
    objects = []
    for i in range(count):
        o = DemoObject()
        where = "object %d" % i
        o.type = r.string(where + " type")
        o.name = r.string(where + " name")
        o.mesh = r.string(where + " mesh")
        o.parent = r.string(where + " parent")
        o.position = tuple(r.floats(3, where + " position"))
        o.rotation = tuple(r.floats(3, where + " rotation"))
        for j in range(r.count(where + " curve count", 16)):
            cw = "%s curve %d" % (where, j)
            channel = r.string(cw + " channel")
            interpolation = r.string(cw + " interpolation")
            extrapolation = r.string(cw + " extrapolation")
            n = r.count(cw + " key count", 24)
            keys = [tuple(r.floats(6, cw + " key")) for _ in range(n)]
            o.curves.append(DemoCurve(channel, interpolation, extrapolation, keys))
        objects.append(o)
    return length, objects


class TvoMesh:
    def __init__(self):
        self.builtin = 0
        self.textures = []
        self.positions = []
        self.normals = []
        self.uvs = []
        self.indices = []


def read_tvo(path):
    with open(path, "rb") as f:
        r = _Reader(f.read(), path)
    if r.take(4, "the magic") != b"TLVO":
        raise FormatError("%s: not a .tvo mesh" % path)
    mesh = TvoMesh()
    while True:
        kind = r.int32("chunk type")
        if kind == 9:
            return mesh
        size = r.int32("chunk size")
        if kind == 1:
            mesh.builtin = r.int32("built-in effect")
            for _ in range(r.count("texture count", 4)):
                name = r.take(r.count("texture name length", 1), "texture name")
                mesh.textures.append(name[:-1].decode("latin-1"))
        elif kind in (3, 5):
            values = r.floats(size // 4, "vectors")
            vectors = [tuple(values[i:i + 3]) for i in range(0, len(values), 3)]
            if kind == 3:
                mesh.positions = vectors
            else:
                mesh.normals = vectors
        elif kind == 6:
            values = r.floats(size // 4, "texture coordinates")
            mesh.uvs = [tuple(values[i:i + 2]) for i in range(0, len(values), 2)]
        elif kind == 4:
            width = r.int32("index size")
            if width not in (2, 4):
                raise FormatError("%s: index size %d is not 2 or 4" % (path, width))
            data = r.take(size - 4, "indices")
            mesh.indices = list(struct.unpack("<%d%s" % (len(data) // width, "H" if width == 2 else "I"), data))
        else:
            r.take(size, "a skipped chunk")
