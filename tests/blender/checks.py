"""The Blender add-on's checks, run inside Blender without a display (CTest label blender):

    blender -b --factory-startup --python-exit-code 1 --python checks.py -- CHECK --addon DIR
        --talvo-build EXE --probe EXE --content DIR --data DIR --work DIR

CHECK is one of
  numbers    a scene built here with every kind of curve is exported, compiled and played by the probe
             (a program on the engine's public interface); world matrices and projected origins at 20
             times must equal Blender's, and the engine's picture must cover what Workbench draws.
  roundtrip  every shipped scene is imported, exported again and compiled; its curves must sample the
             values of the original at every frame.
  report     a scene of things the file cannot hold exports an empty, valid description and names each
             of them in the report; saving the .blend with "Export on save" writes the content folder.

Each check is one Blender start, so the whole set costs a few starts.
"""

import math
import os
import shutil
import subprocess
import sys

import bpy
from bpy_extras.object_utils import world_to_camera_view

argv = sys.argv[sys.argv.index("--") + 1:]
CHECK = argv[0]
OPTIONS = dict(zip(argv[1::2], argv[2::2]))
# The add-on is imported from the source tree, which must stay as it is.
sys.dont_write_bytecode = True
sys.path.insert(0, OPTIONS["--addon"])

import quorvel_io  # noqa: E402
from quorvel_io import curves, exporter, formats, importer  # noqa: E402

quorvel_io.register()

WORK = OPTIONS["--work"]
FAILURES = []


def fail(message):
    FAILURES.append(message)
    print("FAIL: " + message)


def fresh_folder(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def content_copy(name, with_scenes=False):
    """A content folder with the shipped effects and curves (and, if asked, scenes and libraries)."""
    folder = fresh_folder(os.path.join(WORK, name))
    source = OPTIONS["--content"]
    shutil.copytree(os.path.join(source, "fx"), os.path.join(folder, "fx"))
    shutil.copy(os.path.join(source, "curves.lua"), folder)
    if with_scenes:
        shutil.copytree(os.path.join(source, "scenes"), os.path.join(folder, "scenes"))
        shutil.copytree(os.path.join(source, "lib"), os.path.join(folder, "lib"))
        for extra in ("textures", "meshes"):
            shutil.copytree(os.path.join(source, extra), os.path.join(folder, extra))
        for name_ in os.listdir(source):
            if name_.endswith(".efx"):
                shutil.copy(os.path.join(source, name_), folder)
    return folder


def compile_content(content, data):
    run = subprocess.run([OPTIONS["--talvo-build"], content, data], capture_output=True, text=True)
    if run.returncode != 0:
        fail("talvo-build %s failed: %s%s" % (content, run.stdout, run.stderr))
        return False
    return True


def empty_scene():
    for obj in list(bpy.data.objects):
        bpy.data.objects.remove(obj, do_unlink=True)
    for collection in (bpy.data.meshes, bpy.data.materials, bpy.data.actions, bpy.data.cameras, bpy.data.lights,
                       bpy.data.images):
        for block in list(collection):
            collection.remove(block)
    for child in list(bpy.context.scene.collection.children):
        bpy.data.collections.remove(child)
    scene = bpy.context.scene
    scene.render.fps, scene.render.fps_base = 25, 1.0
    scene.frame_start = 1
    return scene


def keyed(obj, path, index, keys, interpolation="BEZIER", handles=None):
    """Keys (frame, value) on one channel; handles: per key ((lx, ly), (rx, ry)) set free."""
    for frame, value in keys:
        getattr(obj, path)[index] = value
        obj.keyframe_insert(path, index=index, frame=frame)
    fc = obj.animation_data.action.fcurves.find(path, index=index)
    for i, point in enumerate(fc.keyframe_points):
        point.interpolation = interpolation
        if handles:
            point.handle_left_type = point.handle_right_type = "FREE"
            point.handle_left, point.handle_right = handles[i]
    fc.update()
    return fc


def box(name, size, material="ambient"):
    mesh = bpy.data.meshes.new(name)
    s = size / 2.0
    verts = [(x, y, z) for x in (-s, s) for y in (-s, s) for z in (-s, s)]
    faces = [(0, 1, 3, 2), (4, 6, 7, 5), (0, 4, 5, 1), (2, 3, 7, 6), (0, 2, 6, 4), (1, 5, 7, 3)]
    mesh.from_pydata(verts, [], faces)
    mesh.validate()
    obj = bpy.data.objects.new(name, mesh)
    bpy.context.scene.collection.objects.link(obj)
    obj["quorvel_material"] = material
    return obj


def empty(name):
    obj = bpy.data.objects.new(name, None)
    bpy.context.scene.collection.objects.link(obj)
    return obj


def build_numbers_scene():
    scene = empty_scene()
    scene.name = "blendcheck"
    scene.frame_end = 100
    scene.render.resolution_x, scene.render.resolution_y = 160, 120
    scene.render.resolution_percentage = 100

    cam_data = bpy.data.cameras.new("Cam")
    cam_data.sensor_fit = "VERTICAL"
    cam_data.angle_y = math.radians(45.0)
    cam_data.clip_start, cam_data.clip_end = 0.5, 1000.0
    cam = bpy.data.objects.new("Cam", cam_data)
    scene.collection.objects.link(cam)
    scene.camera = cam
    cam.location = (0.0, -10.0, 4.0)
    cam.rotation_euler = (math.radians(75.0), 0.0, 0.0)
    keyed(cam, "location", 0, [(1, -1.5), (60, 1.0), (100, 2.0)])
    keyed(cam, "rotation_euler", 2, [(1, math.radians(-6.0)), (100, math.radians(8.0))], "LINEAR")
    keyed(cam, "location", 1, [(1, -10.0), (100, -8.5)])

    lamp = bpy.data.objects.new("Lamp", bpy.data.lights.new("Lamp", "POINT"))
    scene.collection.objects.link(lamp)
    lamp.location = (3.0, -4.0, 6.0)

    root = empty("Root")
    # Bezier with handles far from the thirds, both sides uneven.
    keyed(root, "location", 0, [(1, -1.0), (50, 1.5), (100, 0.0)], "BEZIER",
          [((-10, -1.0), (5, 0.2)), ((44, 1.5), (80, 0.8)), ((95, 0.5), (110, -0.5))])
    keyed(root, "rotation_euler", 2, [(1, 0.0), (100, math.radians(70.0))], "LINEAR")
    root.scale = (1.2, 1.2, 1.2)

    arm = box("Arm", 1.6)
    arm.parent = root
    arm.location = (2.0, 0.0, 0.5)
    keyed(arm, "rotation_euler", 0, [(1, 0.0), (30, 0.6), (70, -0.4)], "CONSTANT")

    hand = box("Hand", 1.0)
    hand.parent = arm
    hand.location = (1.5, 0.0, 0.0)
    fc = keyed(hand, "rotation_euler", 2, [(1, 0.0), (20, 1.2), (40, 0.0)])
    fc.modifiers.new("CYCLES")
    fc = keyed(hand, "location", 2, [(1, 0.0), (25, 0.8)], "LINEAR")
    cycles = fc.modifiers.new("CYCLES")
    cycles.mode_before = cycles.mode_after = "REPEAT_OFFSET"
    hand.location[2] = 0.0
    keyed(hand, "delta_rotation_euler", 2, [(1, 0.0), (100, 1.5)])
    keyed(hand, "scale", 1, [(1, 1.0), (40, 1.8), (100, 0.7)])

    # Parented the way Ctrl+P parents: the parent's pose at that moment is kept as an inverse.
    tilted = box("Tilted", 1.4)
    tilted.location = (-3.0, 1.0, 0.0)
    tilted.rotation_euler = (0.3, 0.2, 0.5)
    pivot = empty("Pivot")
    pivot.location = (-1.0, 2.0, 1.0)
    pivot.rotation_euler = (0.0, 0.4, 0.9)
    bpy.context.view_layer.update()
    tilted.parent = pivot
    tilted.matrix_parent_inverse = pivot.matrix_world.inverted()
    keyed(pivot, "rotation_euler", 0, [(1, 0.0), (100, 0.8)])

    # Fixed to the view: a small marker in the lower left of the picture.
    marker = box("Marker", 0.4)
    marker.parent = cam
    marker.location = (-1.2, -0.8, -4.0)
    keyed(marker, "rotation_euler", 1, [(1, 0.0), (100, 2.0)])
    keyed(marker, "rotation_euler", 0, [(1, 0.3), (100, -0.5)], "LINEAR")
    return scene, [root, arm, hand, tilted, pivot, marker, lamp]


def sample_passes(length, count=20, fps=100):
    """Passes spread over the scene at quarter frames, never on a key's frame."""
    steps = fps // 25
    last = (length - 1) * steps
    return sorted({(k * last) // (count + 1) // steps * steps + 1 + 2 * (k % 2) for k in range(1, count + 1)})


def parse_probe(text):
    result = {}
    current = None
    for line in text.splitlines():
        parts = line.split()
        if not parts:
            continue
        if parts[0] == "pass":
            current = result.setdefault(int(parts[1]), {"frame": float(parts[3]), "world": {}, "pixel": {}})
        elif parts[0] == "view":
            current["view"] = [float(v) for v in parts[1:]]
        elif parts[0] == "world":
            current["world"][parts[1]] = [float(v) for v in parts[2:]]
        elif parts[0] == "pixel":
            current["pixel"][parts[1]] = [float(v) for v in parts[2:]]
        elif parts[0] == "missing":
            fail("the probe found no node " + parts[1])
    return result


def prepare_data(content, data):
    if not compile_content(content, data):
        return False
    shutil.copy(os.path.join(OPTIONS["--data"], "dark_ages.xm"), data)
    return True


def mask_of(path, alpha):
    image = bpy.data.images.load(path)
    w, h = image.size
    pixels = list(image.pixels)
    bpy.data.images.remove(image)
    if alpha:
        return w, h, [pixels[4 * i + 3] > 0.5 for i in range(w * h)]
    return w, h, [max(pixels[4 * i:4 * i + 3]) > 0.04 for i in range(w * h)]


def check_numbers():
    scene, objects = build_numbers_scene()
    content = content_copy("numbers_content")
    result = exporter.export_scene(scene, content)
    print(open(result.lua_path).read())
    if result.report.entries:
        fail("the faithful scene reported problems: %s" % result.report.lines())
    folder = fresh_folder(os.path.join(WORK, "numbers_run"))
    data = os.path.join(folder, "data")
    if not prepare_data(content, data):
        return
    width, height = scene.render.resolution_x, scene.render.resolution_y
    fps = 100
    passes = sample_passes(scene.frame_end, 20, fps)
    # The pictures: two passes that Workbench renders too.
    picture_passes = [passes[5], passes[14]]
    names = [result_name for result_name in (o.get("quorvel_name", o.name) for o in objects)]
    run = subprocess.run([OPTIONS["--probe"], folder, result.name, str(width), str(height), str(fps),
                          ",".join(str(p) for p in passes)] + names,
                         capture_output=True, text=True, env=dict(os.environ, SDL_VIDEODRIVER="offscreen",
                                                                  SDL_AUDIODRIVER="dummy"))
    if run.returncode != 0:
        fail("the probe failed (%d): %s %s" % (run.returncode, run.stdout[-2000:], run.stderr[-2000:]))
        return
    samples = parse_probe(run.stdout)
    if len(samples) != len(passes):
        fail("the probe printed %d of %d passes" % (len(samples), len(passes)))
        return

    worst_matrix, worst_pixel, worst_at, projected = 0.0, 0.0, "", 0
    cam = scene.camera
    for p in passes:
        sample = samples[p]
        frame = sample["frame"]
        scene.frame_set(int(frame), subframe=frame - int(frame))
        # The engine's matrices are Blender's mirrored in z (Z M Z, Z = diag(1, 1, -1, 1)), transposed.
        def mirrored(m):
            sign = (1.0, 1.0, -1.0, 1.0)
            return [m[j][i] * sign[i] * sign[j] for i in range(4) for j in range(4)]

        diff = max(abs(a - b) for a, b in zip(mirrored(cam.matrix_world), sample["view"]))
        if diff > worst_matrix:
            worst_matrix, worst_at = diff, "Camera at frame %g" % frame
        for obj, name in zip(objects, names):
            m = obj.matrix_world
            diff = max(abs(a - b) for a, b in zip(mirrored(m), sample["world"][name]))
            if diff > worst_matrix:
                worst_matrix, worst_at = diff, "%s at frame %g" % (name, frame)
            co = world_to_camera_view(scene, cam, m.translation)
            if co.z <= 0.5:
                continue
            bx, by = co.x * width, (1.0 - co.y) * height
            ex, ey, _depth = sample["pixel"][name]
            projected += 1
            worst_pixel = max(worst_pixel, math.hypot(bx - ex, by - ey))
    print("numbers: worst matrix difference %.3g (%s), worst pixel distance %.3g over %d origins at %d times" % (
        worst_matrix, worst_at, worst_pixel, projected, len(passes)))
    if projected < len(passes) * 4:
        fail("only %d origins lay in front of the camera" % projected)
    if worst_matrix > 1e-4:
        fail("a world matrix differs from Blender's by %.3g (%s)" % (worst_matrix, worst_at))
    if worst_pixel > 1.0:
        fail("a projected origin lies %.3f pixels from Blender's" % worst_pixel)

    # Workbench, flat and unlit, with a transparent film: its alpha is the silhouette.
    scene.render.engine = "BLENDER_WORKBENCH"
    scene.display.shading.light = "FLAT"
    scene.display.shading.color_type = "SINGLE"
    scene.display.render_aa = "OFF"
    scene.render.film_transparent = True
    scene.render.image_settings.file_format = "PNG"
    scene.render.image_settings.color_mode = "RGBA"
    for p in picture_passes:
        frame = samples[p]["frame"]
        scene.frame_set(int(frame), subframe=frame - int(frame))
        scene.render.filepath = os.path.join(folder, "workbench_%06d.png" % p)
        bpy.ops.render.render(write_still=True)
        w, h, blender_mask = mask_of(scene.render.filepath, alpha=True)
        _w, _h, engine_mask = mask_of(os.path.join(folder, "frames", "%06d.png" % p), alpha=False)
        both = sum(1 for a, b in zip(blender_mask, engine_mask) if a and b)
        either = sum(1 for a, b in zip(blender_mask, engine_mask) if a or b)
        overlap = both / either if either else 0.0
        print("picture at pass %d (frame %g): silhouettes overlap %.4f (%d of %d pixels)" % (
            p, frame, overlap, both, either))
        if overlap < 0.95 or either < 200:
            fail("the engine's picture at frame %g overlaps Workbench's by %.3f" % (frame, overlap))


def demo_curves(path):
    """Per object the value of every channel at every frame, missing channels at their rest values."""
    length, records = formats.read_demo(path)
    values = {}
    for record in records:
        channels = {}
        for curve in record.curves:
            c = curves.Curve(curve.interpolation, curve.extrapolation,
                             [curves.Key(k[2], k[3], (k[0], k[1]), (k[4], k[5])) for k in curve.keys])
            channels[curve.channel] = c
        values[record.name] = (record, channels)
    return length, values


def channel_value(record, channels, channel, frame):
    if channel in channels:
        return curves.sample(channels[channel], frame)
    axis = "XYZ".index(channel[-1])
    if channel.startswith("Loc"):
        return record.position[axis]
    if channel.startswith("Rot"):
        return record.rotation[axis] * 18.0 / math.pi
    return 1.0 if channel.startswith("Scale") else 0.0


def check_roundtrip():
    data = OPTIONS["--data"]
    content = content_copy("roundtrip_content", with_scenes=True)
    scenes = sorted(f[:-5] for f in os.listdir(data) if f.startswith("scene") and f.endswith(".demo"))
    if len(scenes) != 9:
        fail("expected the nine shipped scenes in %s, found %s" % (data, scenes))
    for name in scenes:
        scene = empty_scene()
        # Through the menu entries' operators, as an artist would.
        if bpy.ops.import_scene.quorvel(filepath=os.path.join(data, name + ".demo"),
                                        content_dir=OPTIONS["--content"]) != {"FINISHED"}:
            fail("importing %s failed" % name)
        result = exporter.export_scene(scene, content, name)
        print("%s: exported, %d report lines" % (name, len(result.report.entries)))
        for line in result.report.lines():
            print("   " + line)
    out = fresh_folder(os.path.join(WORK, "roundtrip_data"))
    if not compile_content(content, out):
        return
    channels = [p + a for p in ("Loc", "Rot", "dRot", "Scale") for a in "XYZ"]
    worst = 0.0
    for name in scenes:
        length, before = demo_curves(os.path.join(data, name + ".demo"))
        length_after, after = demo_curves(os.path.join(out, name + ".demo"))
        if length != length_after:
            fail("%s: length %d became %d" % (name, length, length_after))
        if sorted(before) != sorted(after):
            fail("%s: objects %s became %s" % (name, sorted(before), sorted(after)))
            continue
        for obj, (record, old) in before.items():
            record2, new = after[obj]
            if record.type != record2.type or record.parent != record2.parent:
                fail("%s/%s: %s under %r became %s under %r" % (name, obj, record.type, record.parent,
                                                                record2.type, record2.parent))
            for channel in channels:
                if channel not in old and channel not in new:
                    continue
                for frame in range(1, length + 1):
                    a = channel_value(record, old, channel, frame)
                    b = channel_value(record2, new, channel, frame)
                    scale = 1.0 if not channel.endswith(("RotX", "RotY", "RotZ")) else math.pi / 18.0
                    diff = abs(a - b) * scale
                    if diff > worst:
                        worst = diff
                    if diff > 1e-4:
                        fail("%s/%s %s at frame %d: %.7g became %.7g" % (name, obj, channel, frame, a, b))
                        break
    print("roundtrip: worst curve difference %.3g (radians for rotations) over %d scenes" % (worst, len(scenes)))


def check_report():
    scene = empty_scene()
    scene.name = "unsupported"
    scene.frame_end = 50
    content = content_copy("report_content")
    # Nothing here can live in the scene file as it is.
    quat = box("Quat", 1.0)
    quat.rotation_mode = "QUATERNION"
    keyed(quat, "rotation_quaternion", 1, [(1, 0.0), (20, 0.5)])
    bpy.context.view_layer.objects.active = quat
    quat.shape_key_add(name="Basis")
    quat.shape_key_add(name="Bulge")
    driven = box("Driven", 1.0)
    driver = driven.driver_add("location", 0)
    driver.driver.expression = "frame / 10"
    fc = keyed(driven, "location", 2, [(1, 0.0), (20, 1.0)])
    fc.modifiers.new("NOISE")
    constrained = box("Constrained", 1.0)
    constrained.constraints.new("TRACK_TO")
    lens = bpy.data.objects.new("Lens", bpy.data.cameras.new("Lens"))
    scene.collection.objects.link(lens)
    scene.camera = lens
    lens.data.lens = 35.0
    sun = bpy.data.objects.new("Sun", bpy.data.lights.new("Sun", "SUN"))
    scene.collection.objects.link(sun)
    # Beside them, a mesh drawn by an effect of fx/ named in quorvel_material, with a picture made here.
    glowing = box("Glowing", 1.0, "emissive/Halo")
    material = bpy.data.materials.new("Glow")
    material.use_nodes = True
    material.node_tree.nodes.new("ShaderNodeTexImage").image = bpy.data.images.new("glow", 8, 8)
    glowing.data.materials.append(material)
    glowing.data.uv_layers.new()
    if bpy.ops.export_scene.quorvel(directory=content) != {"FINISHED"}:
        fail("the export operator failed")
    result = exporter.export_scene(scene, content)
    report = open(os.path.join(content, "scenes", "unsupported", "export-report.txt")).read()
    print(report)
    expected = {
        "Quat": ["rotation mode QUATERNION", "rotation_quaternion[1] is not exported", "shape keys"],
        "Driven": ["driver on location[0]", "modifier Noise"],
        "Constrained": ["constraint"],
        "Lens": ["field of view"],
        "Sun": ["Sun lamp is exported as a point lamp"],
    }
    for obj, phrases in expected.items():
        for phrase in phrases:
            if not any(line.startswith(obj + ":") and phrase in line for line in result.report.lines()):
                fail("the report does not say \"%s\" for %s" % (phrase, obj))
    if any(line.startswith("Glowing:") for line in result.report.lines()):
        fail("the mesh drawn by an effect of fx/ was reported")
    if not compile_content(content, os.path.join(WORK, "report_data")):
        return
    if not os.path.isfile(os.path.join(WORK, "report_data", "unsupported.demo_scene", "glow.png")):
        fail("the picture made in Blender did not reach the compiled scene")

    # A scene of nothing the file knows still makes a valid description.
    scene = empty_scene()
    scene.name = "nothing"
    for name, data in (("Bones", bpy.data.armatures.new("Bones")), ("Cage", bpy.data.lattices.new("Cage")),
                       ("Speaker", bpy.data.speakers.new("Speaker"))):
        scene.collection.objects.link(bpy.data.objects.new(name, data))
    result = exporter.export_scene(scene, content)
    for name in ("Bones", "Cage", "Speaker"):
        if not any(line.startswith(name + ": a") and "not exported" in line for line in result.report.lines()):
            fail("%s is not in the report" % name)
    if not compile_content(content, os.path.join(WORK, "report_data")):
        return
    length, records = formats.read_demo(os.path.join(WORK, "report_data", "nothing.demo"))
    if records:
        fail("the scene of unsupported things made %d objects" % len(records))

    # A compiled scene cut short is refused with the file and the place named, and nothing is added.
    broken = os.path.join(WORK, "broken.demo")
    with open(os.path.join(OPTIONS["--data"], "scene1.demo"), "rb") as source, open(broken, "wb") as out:
        out.write(source.read()[:60])
    before = len(bpy.data.objects)
    try:
        importer.import_demo(bpy.context, broken)
        fail("a scene cut short was imported")
    except formats.FormatError as error:
        if broken not in str(error) or " at byte " not in str(error):
            fail("the error for a scene cut short does not name the file and the place: %s" % error)
    if len(bpy.data.objects) != before:
        fail("a scene cut short left %d objects behind" % (len(bpy.data.objects) - before))

    # Export on save: saving the file writes the scene into the content folder.
    live = content_copy("live_content")
    scene = empty_scene()
    scene.name = "livecheck"
    box("Saved", 1.0)
    scene.quorvel_content_dir = live
    scene.quorvel_export_on_save = True
    bpy.ops.wm.save_as_mainfile(filepath=os.path.join(WORK, "livecheck.blend"))
    written = os.path.join(live, "scenes", "livecheck.lua")
    if not os.path.isfile(written) or "Saved" not in open(written).read():
        fail("saving the .blend file did not export the scene to %s" % written)
    elif not compile_content(live, os.path.join(WORK, "live_data")):
        return


CHECKS = {"numbers": check_numbers, "roundtrip": check_roundtrip, "report": check_report}
os.makedirs(WORK, exist_ok=True)
try:
    CHECKS[CHECK]()
except Exception as error:  # a crash in a check is a failure with its trace, not a silent exit
    import traceback

    traceback.print_exc()
    fail("%s raised %r" % (CHECK, error))
if FAILURES:
    print("%d failures in %s" % (len(FAILURES), CHECK))
    sys.exit(1)
print("%s: ok" % CHECK)
