"""Reads a compiled scene (.demo with its meshes) into the current Blender scene, the exporter's
conversion run backwards: keys keep their times and handles, rotations go back from tens of degrees to
radians, and the mirror in z is undone (LocZ, RotX, RotY, dRotX and dRotY change sign, mesh vertices
and normals are mirrored, triangles get their winding back)."""

import math
import os

import bpy

from . import formats

TEN_DEGREES = math.pi / 18.0
BUILTIN_NAMES = {1: "ambient", 2: "wireframe", 3: "diffuse"}
CHANNELS = {}
for _i, _axis in enumerate("XYZ"):
    CHANNELS["Loc" + _axis] = ("location", _i, 1.0)
    CHANNELS["dLoc" + _axis] = ("delta_location", _i, 1.0)
    CHANNELS["Rot" + _axis] = ("rotation_euler", _i, TEN_DEGREES)
    CHANNELS["dRot" + _axis] = ("delta_rotation_euler", _i, TEN_DEGREES)
    CHANNELS["Scale" + _axis] = ("scale", _i, 1.0)


def _find_script(content_dir, scene_name, script_path):
    """The material script of the content folder whose bytes the compiled copy carries."""
    if not content_dir or not os.path.isfile(script_path):
        return None
    with open(script_path, "rb") as f:
        wanted = f.read()
    candidates = []
    for root, _dirs, files in os.walk(content_dir):
        for name in files:
            if name.endswith(".efx"):
                candidates.append(os.path.join(root, name))
    preferred = os.path.join(content_dir, "scenes", scene_name)
    candidates.sort(key=lambda p: (not p.startswith(preferred), p))
    for path in candidates:
        with open(path, "rb") as f:
            if f.read() == wanted:
                return os.path.relpath(path, content_dir).replace(os.sep, "/")
    return None


class Importer:
    def __init__(self, context, path, content_dir=None):
        self.context = context
        self.path = path
        self.data_dir = os.path.dirname(os.path.abspath(path))
        self.scene_name = os.path.splitext(os.path.basename(path))[0]
        self.content_dir = content_dir
        self.notes = []
        self.meshes = {}

    def mesh(self, name):
        if name in self.meshes:
            return self.meshes[name]
        file = self.path + "_scene/" + name + ".tvo"
        tvo = formats.read_tvo(file)
        mesh = bpy.data.meshes.new(name)
        faces = [(tvo.indices[i], tvo.indices[i + 2], tvo.indices[i + 1]) for i in range(0, len(tvo.indices) - 2, 3)]
        mesh.from_pydata([(x, y, -z) for x, y, z in tvo.positions], [], faces)
        if tvo.uvs:
            layer = mesh.uv_layers.new(name="UVMap")
            for loop in mesh.loops:
                u, v = tvo.uvs[loop.vertex_index]
                layer.data[loop.index].uv = (u, 1.0 - v)
        if tvo.normals:
            for polygon in mesh.polygons:
                polygon.use_smooth = True
            if hasattr(mesh, "use_auto_smooth"):
                mesh.use_auto_smooth = True
            normals = [(x, y, -z) for x, y, z in tvo.normals]
            mesh.normals_split_custom_set([normals[loop.vertex_index] for loop in mesh.loops])
        mesh.validate()
        mesh.materials.append(self.material(name, tvo, file))
        self.meshes[name] = mesh
        return mesh

    def material(self, name, tvo, file):
        material = bpy.data.materials.new(name)
        material.use_nodes = True
        if tvo.builtin in BUILTIN_NAMES:
            material["quorvel_material"] = BUILTIN_NAMES[tvo.builtin]
        else:
            script = _find_script(self.content_dir, self.scene_name, file + ".efx")
            if script:
                material["quorvel_material"] = script
            else:
                self.notes.append("%s: its material script has no source in the content folder; it exports with "
                                  "the default material" % name)
        tree = material.node_tree
        shader = tree.nodes.get("Principled BSDF")
        for slot, texture in enumerate(tvo.textures):
            image_path = os.path.join(os.path.dirname(self.data_dir), texture)
            if not os.path.isfile(image_path):
                image_path = os.path.join(self.data_dir, texture)
            if not os.path.isfile(image_path):
                self.notes.append("%s: the texture %s was not found" % (name, texture))
                continue
            node = tree.nodes.new("ShaderNodeTexImage")
            node.name = "slot%d" % slot
            node.image = bpy.data.images.load(image_path, check_existing=True)
            node.location = (-400, 300 - 300 * slot)
            if slot == 0 and shader is not None:
                tree.links.new(node.outputs["Color"], shader.inputs["Base Color"])
        return material

    def make_object(self, record):
        if record.type == "Camera":
            data = bpy.data.cameras.new(record.name)
            data.sensor_fit = "VERTICAL"
            data.angle_y = math.radians(45.0)
            data.clip_start, data.clip_end = 0.5, 1000.0
        elif record.type == "Lamp":
            data = bpy.data.lights.new(record.name, "POINT")
        elif record.type == "Mesh":
            data = self.mesh(record.mesh)
        else:
            data = None
        obj = bpy.data.objects.new(record.name, data)
        obj["quorvel_name"] = record.name
        obj.rotation_mode = "XYZ"
        obj.location = record.position
        obj.rotation_euler = record.rotation
        return obj

    def add_curves(self, obj, record, camera_child):
        """The exporter's mirror in z backwards: LocZ (except for objects fixed to the camera, whose
        file positions count z as Blender's camera does), RotX, RotY, dRotX and dRotY change sign."""
        if not record.curves:
            return
        action = bpy.data.actions.new(record.name + "Action")
        obj.animation_data_create().action = action
        for curve in record.curves:
            if curve.channel not in CHANNELS:
                self.notes.append("%s: the %s curve is not imported" % (record.name, curve.channel))
                continue
            path, index, factor = CHANNELS[curve.channel]
            if curve.channel in ("RotX", "RotY", "dRotX", "dRotY") or (
                    curve.channel in ("LocZ", "dLocZ") and not camera_child):
                factor = -factor
            fc = action.fcurves.new(path, index=index, action_group=record.name)
            fc.keyframe_points.add(len(curve.keys))
            mode = curve.interpolation.upper()
            for point, (lt, lv, t, v, rt, rv) in zip(fc.keyframe_points, curve.keys):
                point.co = (t, v * factor)
                point.handle_left_type = point.handle_right_type = "FREE"
                point.handle_left = (lt, lv * factor)
                point.handle_right = (rt, rv * factor)
                point.interpolation = mode if mode in ("CONSTANT", "LINEAR", "BEZIER") else "BEZIER"
            if curve.extrapolation in ("Cyclic", "Cyclic_extrapolation"):
                cycles = fc.modifiers.new("CYCLES")
                mode = "REPEAT" if curve.extrapolation == "Cyclic" else "REPEAT_OFFSET"
                cycles.mode_before = cycles.mode_after = mode

    def run(self):
        length, records = formats.read_demo(self.path)
        scene = self.context.scene
        scene.render.fps, scene.render.fps_base = 25, 1.0
        scene.frame_start, scene.frame_end = 1, max(1, length)
        collection = bpy.data.collections.new(self.scene_name)
        scene.collection.children.link(collection)
        objects = {}
        camera = None
        for record in records:
            obj = self.make_object(record)
            collection.objects.link(obj)
            objects[record.name] = obj
            if record.type == "Camera":
                camera = obj
                scene.camera = obj
        for record in records:
            obj = objects[record.name]
            camera_child = record.parent == "Camera"
            self.add_curves(obj, record, camera_child)
            obj.rotation_euler[0] = -obj.rotation_euler[0]
            obj.rotation_euler[1] = -obj.rotation_euler[1]
            if not camera_child:
                obj.location[2] = -obj.location[2]
            if record.parent:
                parent = camera if record.parent == "Camera" else objects.get(record.parent)
                if parent is None:
                    self.notes.append("%s: the parent %s is not in the file" % (record.name, record.parent))
                else:
                    obj.parent = parent
        return objects, self.notes


def import_demo(context, path, content_dir=None):
    return Importer(context, path, content_dir).run()
