"""Writes a Blender scene into a content folder: scenes/<name>.lua, its meshes (OBJ), textures (PNG),
a default material script, the program's table of array modifiers and emitters, and a report of what
could not be exported.

Coordinates: the engine's coordinates are Blender's with z negated, in the world and in every object's
own frame. A mirror in z keeps each axis where it is, so the XYZ Euler order of Blender's rotations is
the engine's too and every curve carries over key for key: only LocZ, RotX, RotY, dRotX and dRotY change
sign. Blender's camera looks down its -z, the engine's down its +z: the mirror turns one into the other,
so the camera is mirrored like any object. Mesh vertices and normals are mirrored too, and as a mirror
turns a triangle's winding over, every triangle is written the other way round.
"""

import math
import os
import re
import shutil

import bpy
from mathutils import Euler, Matrix

from . import curves as qc
from . import lua

CAMERA_NAME = "Camera"
ENGINE_FOV_Y = math.radians(45.0)
ENGINE_NEAR, ENGINE_FAR = 0.5, 1000.0
BUILTINS = ("ambient", "wireframe", "diffuse")
AXES = "XYZ"

DEFAULT_MATERIAL = """-- The add-on's default material: the mesh's first texture lit by the scene's first lamp.
effect = {
    { priority = 1, pass = {
        { priority = 100, fx = "litTextured", tec = "Plain",
          params = { { "tex", "DiffuseMap", "tex0" } }, streams = { "pos", "normal", "tex" } },
    } },
}
"""


def file_name(text, fallback="unnamed"):
    """A name the content compiler accepts as a file name: letters, digits, '_', '-' and '.'."""
    name = re.sub(r"[^A-Za-z0-9_.-]", "_", text).lstrip(".")
    return name or fallback


class Report:
    """What could not be exported, object by object, in the order found."""

    def __init__(self):
        self.entries = []

    def add(self, obj, message):
        entry = (obj, message)
        if entry not in self.entries:
            self.entries.append(entry)

    def lines(self):
        return ["%s: %s" % (o, m) if o else m for o, m in self.entries]

    def text(self, scene_name):
        head = "Quorvel export of scene \"%s\": " % scene_name
        if not self.entries:
            return head + "everything was exported faithfully.\n"
        return head + "%d problems.\n" % len(self.entries) + "".join(line + "\n" for line in self.lines())


class Result:
    def __init__(self, name, lua_path, report, files):
        self.name = name
        self.lua_path = lua_path
        self.report = report
        self.files = files


def _write(path, data):
    """Written under a temporary name and renamed, so a watching build never reads half a file."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    temporary = os.path.join(os.path.dirname(path), "." + os.path.basename(path) + ".part")
    mode = "wb" if isinstance(data, bytes) else "w"
    with open(temporary, mode) as out:
        out.write(data)
    os.replace(temporary, path)


def _identity(matrix, tolerance=1e-6):
    return all(abs(matrix[i][j] - (1.0 if i == j else 0.0)) <= tolerance for i in range(4) for j in range(4))


class Node:
    """One object of the scene file, in Blender's terms until written."""

    def __init__(self, name, kind, source):
        self.name = name
        self.kind = kind  # "Mesh", "Lamp", "Empty" or "Camera"
        self.source = source  # the Blender object, or None for a node the export adds
        self.parent = ""
        self.position = [0.0, 0.0, 0.0]
        self.rotation = [0.0, 0.0, 0.0]
        self.curves = {}
        self.mesh = None


class Exporter:
    def __init__(self, scene, content_dir, name, depsgraph):
        self.scene = scene
        self.content_dir = content_dir
        self.name = file_name(name or scene.name, "scene")
        self.depsgraph = depsgraph
        self.report = Report()
        fps = scene.render.fps / scene.render.fps_base
        self.time_map = qc.TimeMap(scene.frame_start, fps)
        self.frames = list(range(scene.frame_start, scene.frame_end + 1))
        self.length = max(1, int(round((scene.frame_end - scene.frame_start + 1) * qc.ENGINE_FPS / fps)))
        self.folder_rel = "scenes/" + self.name
        self.folder = os.path.join(content_dir, "scenes", self.name)
        self.files = {}  # relative path -> bytes or text
        self.names = {}  # Blender object -> engine name
        self.mesh_names = set()
        self.textures = {}  # texture name -> relative png path
        self.image_names = {}  # Blender image -> texture name
        self.meshes = {}  # mesh name -> description entry
        self.nodes = []
        self.program = {"arrays": [], "emitters": []}
        self.camera = scene.camera if scene.camera and scene.camera.type == "CAMERA" else None

    # --- naming -----------------------------------------------------------------------------------

    def engine_name(self, obj):
        return self.names[obj]

    def assign_names(self, objects):
        used = set()
        if self.camera in objects:
            self.names[self.camera] = CAMERA_NAME
            used.add(CAMERA_NAME)
        for obj in objects:
            if obj is self.camera:
                continue
            base = obj.get("quorvel_name", obj.name)
            name = base
            counter = 1
            while name in used:
                name = "%s.%03d" % (base, counter)
                counter += 1
            if name != base:
                self.report.add(obj.name, "renamed \"%s\" in the scene file: the name \"%s\" is taken%s" % (
                    name, base, " by the camera" if base == CAMERA_NAME else ""))
            used.add(name)
            self.names[obj] = name
        self.used_names = used

    def unique_node_name(self, base):
        name, counter = base, 1
        while name in self.used_names:
            name = "%s.%03d" % (base, counter)
            counter += 1
        self.used_names.add(name)
        return name

    # --- transforms and curves --------------------------------------------------------------------

    def fcurves(self, obj):
        found = {}
        anim = obj.animation_data
        if anim is None:
            return found
        if anim.drivers:
            for d in anim.drivers:
                self.report.add(obj.name, "the driver on %s[%d] is not exported" % (d.data_path, d.array_index))
        if anim.nla_tracks and any(not t.mute for t in anim.nla_tracks):
            self.report.add(obj.name, "NLA strips are not exported (only the active action is)")
        if anim.action is None:
            return found
        for fc in anim.action.fcurves:
            if fc.mute or not fc.keyframe_points:
                continue
            found[(fc.data_path, fc.array_index)] = fc
        return found

    def curve_of(self, obj, fc, what):
        notes = set()
        curve = qc.convert_fcurve(fc, self.time_map, notes)
        for note in sorted(notes):
            self.report.add(obj.name, "%s: %s" % (what, note))
        return curve

    def check_delta_rotation(self, obj, fcs):
        """The engine adds delta rotation to rotation axis by axis; Blender turns by the rotation first,
        then by the delta. The two agree only for some combinations, which are checked frame by frame."""
        def values(path, base):
            out = []
            for frame in self.frames:
                out.append([fcs[(path, i)].evaluate(frame) if (path, i) in fcs else base[i] for i in range(3)])
            return out

        if not any((("delta_rotation_euler", i) in fcs) for i in range(3)) and \
                not any(abs(v) > 1e-9 for v in obj.delta_rotation_euler):
            return
        rot = values("rotation_euler", obj.rotation_euler)
        drot = values("delta_rotation_euler", obj.delta_rotation_euler)
        worst = 0.0
        for r, d in zip(rot, drot):
            blender = Euler(d, "XYZ").to_matrix() @ Euler(r, "XYZ").to_matrix()
            engine = Euler([r[i] + d[i] for i in range(3)], "XYZ").to_matrix()
            worst = max(worst, max(abs(blender[i][j] - engine[i][j]) for i in range(3) for j in range(3)))
        if worst > 1e-5:
            self.report.add(obj.name, "the delta rotation turns after the rotation in Blender but adds to it "
                            "axis by axis in the engine; they differ by up to %.3g here" % worst)

    def transform(self, obj, node):
        fcs = self.fcurves(obj)
        supported = {"location", "rotation_euler", "scale", "delta_rotation_euler"}
        for (path, index), fc in sorted(fcs.items()):
            if path not in supported:
                self.report.add(obj.name, "the curve %s[%d] is not exported" % (path, index))
        for data_owner in (obj.data,):
            anim = getattr(data_owner, "animation_data", None) if data_owner is not None else None
            if anim is not None and anim.action is not None and anim.action.fcurves:
                self.report.add(obj.name, "curves on the object's data (%s) are not exported" % data_owner.name)

        euler_ok = obj.rotation_mode == "XYZ"
        if euler_ok:
            rotation = list(obj.rotation_euler)
        else:
            self.report.add(obj.name, "the rotation mode %s is not XYZ Euler: the rest pose is exported as "
                            "XYZ Euler and its rotation curves are left out" % obj.rotation_mode)
            rotation = list(obj.matrix_basis.to_euler("XYZ"))
        delta_loc = list(obj.delta_location)
        delta_scale = list(obj.delta_scale)
        for i in range(3):
            if ("delta_location", i) in fcs:
                self.report.add(obj.name, "animated delta location is not exported")
            if ("delta_scale", i) in fcs:
                self.report.add(obj.name, "animated delta scale is not exported")
        node.position = [obj.location[i] + delta_loc[i] for i in range(3)]
        node.rotation = rotation
        for i, axis in enumerate(AXES):
            fc = fcs.get(("location", i))
            if fc is not None:
                node.curves["Loc" + axis] = self.curve_of(obj, fc, "Loc" + axis).scaled(1.0, delta_loc[i])
            fc = fcs.get(("rotation_euler", i)) if euler_ok else None
            if fc is not None:
                node.curves["Rot" + axis] = self.curve_of(obj, fc, "Rot" + axis)
            fc = fcs.get(("delta_rotation_euler", i)) if euler_ok else None
            if fc is not None:
                node.curves["dRot" + axis] = self.curve_of(obj, fc, "dRot" + axis)
            elif euler_ok and abs(obj.delta_rotation_euler[i]) > 1e-9:
                node.curves["dRot" + axis] = qc.constant_curve(obj.delta_rotation_euler[i])
        if euler_ok:
            self.check_delta_rotation(obj, fcs)
        elif any(abs(v) > 1e-9 for v in obj.delta_rotation_euler):
            self.report.add(obj.name, "delta rotation is not exported outside XYZ Euler mode")

        scale_curves = {}
        for i, axis in enumerate(AXES):
            fc = fcs.get(("scale", i))
            if fc is not None:
                scale_curves[axis] = self.curve_of(obj, fc, "Scale" + axis).scaled(delta_scale[i])
            elif abs(obj.scale[i] * delta_scale[i] - 1.0) > 1e-9:
                scale_curves[axis] = qc.constant_curve(obj.scale[i] * delta_scale[i])
        if scale_curves:
            for axis in AXES:
                node.curves["Scale" + axis] = scale_curves.get(axis, qc.constant_curve(1.0))
        return fcs

    def scale_is_uniform(self, obj, fcs):
        for frame in self.frames[:: max(1, len(self.frames) // 50)] + [self.frames[-1]]:
            s = [fcs[("scale", i)].evaluate(frame) if ("scale", i) in fcs else obj.scale[i] for i in range(3)]
            s = [s[i] * obj.delta_scale[i] for i in range(3)]
            if max(abs(abs(s[0]) - abs(v)) for v in s) > 1e-6 * max(1.0, abs(s[0])):
                return False
        return True

    def has_rotation(self, obj, fcs):
        if any(abs(v) > 1e-9 for v in obj.rotation_euler) or any(abs(v) > 1e-9 for v in obj.delta_rotation_euler):
            return True
        return any(p in ("rotation_euler", "delta_rotation_euler", "rotation_quaternion") for p, _ in fcs)

    # --- the mirror ---------------------------------------------------------------------------------

    @staticmethod
    def mirror(node, camera_child):
        """Blender's pose of a node in the engine's coordinates, z negated: the z of the position and the
        X and Y rotations change sign, the Z rotation and the scale stay. The loader negates the z of the
        position of objects fixed to the camera itself (their file positions count z the way Blender's
        camera does), so theirs is left as it is."""
        if not camera_child:
            node.position[2] = -node.position[2]
            if "LocZ" in node.curves:
                node.curves["LocZ"] = node.curves["LocZ"].scaled(-1.0)
        for index, axis in ((0, "X"), (1, "Y")):
            node.rotation[index] = -node.rotation[index]
            for prefix in ("Rot", "dRot"):
                if prefix + axis in node.curves:
                    node.curves[prefix + axis] = node.curves[prefix + axis].scaled(-1.0)

    def export_camera(self, obj):
        node = Node(CAMERA_NAME, "Camera", obj)
        self.transform(obj, node)
        if obj.parent is not None:
            self.report.add(obj.name, "the camera's parent \"%s\" is not exported: the engine's camera "
                            "hangs under the scene's root" % obj.parent.name)
        # Blender's view ignores the camera's scale; the engine's would be distorted by it.
        if any(k.startswith("Scale") for k in node.curves):
            self.report.add(obj.name, "the camera's scale is not exported: Blender's view ignores it")
            for k in [k for k in node.curves if k.startswith("Scale")]:
                del node.curves[k]
        self.mirror(node, camera_child=False)
        cam = obj.data
        if cam.type != "PERSP":
            self.report.add(obj.name, "the camera is %s; the engine's projection is a perspective" % cam.type.title())
        else:
            frame = cam.view_frame(scene=self.scene)
            half_y = max(abs(v.y) for v in frame)
            depth = abs(frame[0].z)
            fov_y = 2.0 * math.atan2(half_y, depth)
            if abs(fov_y - ENGINE_FOV_Y) > math.radians(0.05):
                self.report.add(obj.name, "the camera's vertical field of view is %.2f degrees; the engine's "
                                "projection has 45 (with the lens set by sensor fit Vertical: %.2f mm on a "
                                "%.1f mm sensor)" % (math.degrees(fov_y), cam.sensor_height / 2.0 /
                                                     math.tan(ENGINE_FOV_Y / 2.0), cam.sensor_height))
            if abs(cam.shift_x) > 1e-9 or abs(cam.shift_y) > 1e-9:
                self.report.add(obj.name, "the camera's lens shift is not exported")
        if abs(cam.clip_start - ENGINE_NEAR) > 1e-6 or abs(cam.clip_end - ENGINE_FAR) > 1e-3:
            self.report.add(obj.name, "the camera clips at %g to %g; the engine clips at 0.5 to 1000" % (
                cam.clip_start, cam.clip_end))
        return node

    # --- meshes, materials, textures ---------------------------------------------------------------

    def export_image(self, obj, image):
        if image in self.image_names:
            return self.image_names[image]
        name = file_name(os.path.splitext(image.name)[0], "texture")
        base, counter = name, 1
        while name in self.textures:
            name = "%s_%d" % (base, counter)
            counter += 1
        path = os.path.join(self.folder, name + ".png")
        os.makedirs(self.folder, exist_ok=True)
        source = bpy.path.abspath(image.filepath) if image.source == "FILE" else ""
        if (source and image.packed_file is None and not image.is_dirty and source.lower().endswith(".png")
                and os.path.isfile(source)):
            shutil.copyfile(source, path)
        else:
            # Blender reads a file's pixels only when something asks for them; a copy made before that
            # has no pixels to save.
            if not image.has_data and image.size[0] > 0:
                image.pixels[0]
            copy = image.copy()
            try:
                copy.filepath_raw = path
                copy.file_format = "PNG"
                copy.save()
            except RuntimeError as error:
                self.report.add(obj.name, "the image \"%s\" could not be written as PNG (%s)" % (
                    image.name, str(error).strip()))
                return None
            finally:
                bpy.data.images.remove(copy)
        self.textures[name] = self.folder_rel + "/" + name + ".png"
        self.image_names[image] = name
        return name

    def material_of(self, obj, mesh_entry):
        materials = [s.material for s in obj.material_slots if s.material is not None]
        if len({m.name for m in materials}) > 1:
            self.report.add(obj.name, "only the first of its %d materials is exported" % len(materials))
        material = materials[0] if materials else None
        chosen = obj.get("quorvel_material") or (material.get("quorvel_material") if material else None)
        images = []
        if material is not None and material.use_nodes and material.node_tree is not None:
            nodes = [n for n in material.node_tree.nodes if n.type == "TEX_IMAGE" and n.image is not None]
            slots = sorted((n for n in nodes if re.match(r"^slot[0-6]$", n.name)), key=lambda n: n.name)
            images = [n.image for n in slots] if slots else [n.image for n in nodes[:1]]
        if chosen:
            chosen = str(chosen)
            if chosen in BUILTINS:
                mesh_entry["builtin"] = chosen
                return
            if chosen.endswith(".efx") and os.path.isfile(os.path.join(self.content_dir, chosen)):
                mesh_entry["material"] = chosen
                names = [self.export_image(obj, image) for image in images]
                if names and all(names):
                    mesh_entry["textures"] = names
                return
            script = self.effect_script(chosen)
            if script is not None:
                mesh_entry["material"] = script
                names = [self.export_image(obj, image) for image in images]
                if names and all(names):
                    mesh_entry["textures"] = names
                return
            self.report.add(obj.name, "quorvel_material \"%s\" is neither a built-in effect (%s), a material "
                            "script of the content folder nor an effect of its fx/ folder (\"litTextured\" or "
                            "\"litTextured/RimLight\"); the default material is used" % (chosen, ", ".join(BUILTINS)))
        name = self.export_image(obj, images[0]) if images else None
        if name is None:
            mesh_entry["builtin"] = "diffuse"
            return
        script = self.folder_rel + "/quorvel_lit.efx"
        self.files[script] = DEFAULT_MATERIAL
        mesh_entry["material"] = script
        mesh_entry["textures"] = [name]

    def effect_script(self, chosen):
        """A material script for "effect" or "effect/Technique" naming content/fx/<effect>.fx: the technique
        (the file's first where none is named) with every texture slot the effect declares bound."""
        effect, _, technique = chosen.partition("/")
        effect = effect[:-3] if effect.endswith(".fx") else effect
        path = os.path.join(self.content_dir, "fx", effect + ".fx")
        if not re.match(r"^[A-Za-z0-9_]+$", effect) or not os.path.isfile(path):
            return None
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        techniques = re.findall(r"^technique\s+(\w+)", text, re.M)
        technique = technique or (techniques[0] if techniques else "")
        if technique not in techniques:
            return None
        slots = re.findall(r"^texture\s+(\w+)\s*<\s*string\s+slot\s*=\s*\"(tex[0-6])\"", text, re.M)
        params = ", ".join('{ "tex", "%s", "%s" }' % slot for slot in slots)
        rel = "%s/%s_%s.efx" % (self.folder_rel, effect, technique)
        self.files[rel] = ("-- Written by the Quorvel add-on for quorvel_material \"%s\".\n"
                           "effect = {\n    { priority = 1, pass = {\n"
                           "        { priority = 100, fx = \"%s\", tec = \"%s\", params = { %s },\n"
                           "          streams = { \"pos\", \"normal\", \"tex\" } },\n    } },\n}\n" % (
                               chosen, effect, technique, params))
        return rel

    def export_mesh(self, obj, node):
        arrays = [m for m in obj.modifiers if m.type == "ARRAY" and m.show_viewport]
        for m in arrays:
            m.show_viewport = False
        try:
            self.depsgraph.update()
            evaluated = obj.evaluated_get(self.depsgraph)
            mesh = evaluated.to_mesh()
            try:
                text, has_uv = self.obj_text(mesh)
            finally:
                evaluated.to_mesh_clear()
        finally:
            for m in arrays:
                m.show_viewport = True
        if obj.type == "MESH" and obj.data.shape_keys is not None:
            self.report.add(obj.name, "shape keys are not exported (the mesh is written as it stands now)")
        if any(m.type == "ARMATURE" for m in obj.modifiers):
            self.report.add(obj.name, "the armature deformation is written as it stands now, not animated")
        name = file_name(node.name, "mesh")
        base, counter = name, 1
        while name in self.mesh_names:
            name = "%s_%d" % (base, counter)
            counter += 1
        self.mesh_names.add(name)
        rel = self.folder_rel + "/" + name + ".obj"
        self.files[rel] = text
        entry = {"shape": lua.Raw("obj %s" % lua.string(rel))}
        self.material_of(obj, entry)
        if "material" in entry and not has_uv and entry.get("textures"):
            self.report.add(obj.name, "the mesh has no UV map, so its texture cannot be placed")
        self.meshes[name] = entry
        node.mesh = name
        self.export_arrays(obj, node, arrays)

    @staticmethod
    def obj_text(mesh):
        """Triangles with per-corner normals and the first UV map, mirrored in z with their winding
        reversed (see the module's comment), texture v counted from the top as the engine does."""
        mesh.calc_loop_triangles()
        if hasattr(mesh, "calc_normals_split"):
            mesh.calc_normals_split()
        uv_layer = mesh.uv_layers.active.data if mesh.uv_layers.active is not None else None
        lines = ["# written by the Quorvel add-on for Blender; triangles wound for the engine\n"]
        for v in mesh.vertices:
            lines.append("v %.9g %.9g %.9g\n" % (v.co[0], v.co[1], -v.co[2]))
        normals, uvs = {}, {}
        faces = []
        for tri in mesh.loop_triangles:
            corners = []
            for corner in (0, 2, 1):
                loop = tri.loops[corner]
                vertex = tri.vertices[corner]
                normal = mesh.loops[loop].normal
                n = (round(normal[0], 6), round(normal[1], 6), round(-normal[2], 6))
                ni = normals.setdefault(n, len(normals) + 1)
                if uv_layer is not None:
                    uv = uv_layer[loop].uv
                    t = (round(uv[0], 7), round(1.0 - uv[1], 7))
                    ti = uvs.setdefault(t, len(uvs) + 1)
                    corners.append("%d/%d/%d" % (vertex + 1, ti, ni))
                else:
                    corners.append("%d/1/%d" % (vertex + 1, ni))
            faces.append("f " + " ".join(corners) + "\n")
        # Without a UV map every corner gets (0, 0): the built-in effects want texture coordinates too.
        if uv_layer is None:
            lines.append("vt 0 0\n")
        lines += ["vt %.9g %.9g\n" % t for t in uvs]
        lines += ["vn %.9g %.9g %.9g\n" % n for n in normals]
        lines += faces
        return "".join(lines), uv_layer is not None

    # --- what the program attaches -----------------------------------------------------------------

    def export_arrays(self, obj, node, arrays):
        if not arrays:
            return
        entries = []
        for m in arrays:
            entry = {"count": m.count if m.fit_type == "FIXED_COUNT" else 1}
            if m.fit_type != "FIXED_COUNT":
                self.report.add(obj.name, "the array modifier \"%s\" fits by %s; exported with a count of 1" % (
                    m.name, m.fit_type.title()))
            offset = [0.0, 0.0, 0.0]
            if m.use_constant_offset:
                offset = [offset[i] + m.constant_offset_displace[i] for i in range(3)]
            if m.use_relative_offset:
                dims = obj.dimensions
                offset = [offset[i] + m.relative_offset_displace[i] * dims[i] / max(abs(obj.scale[i]), 1e-12)
                          for i in range(3)]
            if any(abs(v) > 1e-12 for v in offset):
                entry["offset"] = [offset[0], offset[1], -offset[2]]
            if m.use_object_offset and m.offset_object is not None:
                if m.offset_object in self.names:
                    entry["object"] = self.names[m.offset_object]
                else:
                    self.report.add(obj.name, "the array's offset object \"%s\" is not in the scene" %
                                    m.offset_object.name)
            if m.use_merge_vertices or m.start_cap or m.end_cap:
                self.report.add(obj.name, "the array modifier's merging and caps are not exported")
            entries.append(entry)
        self.program["arrays"].append({"object": node.name, "entries": entries})

    def export_particles(self, obj, node):
        fps = self.scene.render.fps / self.scene.render.fps_base
        for system in obj.particle_systems:
            s = system.settings
            if s.type != "EMITTER":
                self.report.add(obj.name, "the hair particle system \"%s\" is not exported" % system.name)
                continue
            span = max(1e-6, (s.frame_end - s.frame_start) / fps)
            lifetime = s.lifetime / fps
            gravity = self.scene.gravity * s.effector_weights.gravity if self.scene.use_gravity else (0, 0, 0)
            self.program["emitters"].append({
                "node": node.name,
                # The engine's rectangle spreads along the node's X and Z axes: a Blender mesh flat in its
                # own Y is one, any other emitter a point source.
                "kind": "plane" if s.emit_from == "FACE" and obj.dimensions[1] < 1e-6 else "point",
                "velocity": [s.object_align_factor[0], s.object_align_factor[1],
                             -(s.object_align_factor[2] + s.normal_factor)],
                "velocityVariance": [s.factor_random] * 3,
                "acceleration": [gravity[0], gravity[1], -gravity[2]],
                "size": s.particle_size * 2.0,
                "maxParticles": max(1, int(math.ceil(s.count * min(1.0, lifetime / span)))),
                "emitInterval": span / max(1, s.count),
                "planeWidth": obj.dimensions[0] / 2.0,
                "planeDepth": obj.dimensions[2] / 2.0,
            })
            self.report.add(obj.name, "the particle system \"%s\" is listed in %s/program.lua for the program "
                            "to attach; the scene file cannot hold it" % (system.name, self.folder_rel))

    # --- the scene ------------------------------------------------------------------------------------

    def add_object(self, obj):
        kinds = {"MESH": "Mesh", "CURVE": "Mesh", "SURFACE": "Mesh", "FONT": "Mesh", "META": "Mesh",
                 "LIGHT": "Lamp", "EMPTY": "Empty"}
        kind = kinds.get(obj.type, "Empty")
        if obj.type not in kinds:
            what = "a camera other than the scene's" if obj.type == "CAMERA" else "a %s object" % obj.type.title()
            if not obj.children:
                self.report.add(obj.name, "%s is not exported" % what)
                return
            self.report.add(obj.name, "%s is exported as a group node for its children" % what)
        node = Node(self.names[obj], kind, obj)
        fcs = self.transform(obj, node)
        if obj.type == "LIGHT" and obj.data.type != "POINT":
            self.report.add(obj.name, "the %s lamp is exported as a point lamp at its position (the engine's "
                            "lamps have no direction)" % obj.data.type.title())
        active_constraints = [c for c in obj.constraints if getattr(c, "enabled", not getattr(c, "mute", False))]
        for c in active_constraints:
            self.report.add(obj.name, "the constraint \"%s\" (%s) is not exported" % (c.name, c.type.title()))
        if obj.parent is not None:
            if obj.parent_type != "OBJECT":
                self.report.add(obj.name, "parenting of type %s is exported as parenting to the object" %
                                obj.parent_type.title())
            if obj.parent.type == "ARMATURE":
                self.report.add(obj.name, "its armature parent is exported as a group node")
            parent_name = self.names.get(obj.parent)
            if parent_name is None:
                self.report.add(obj.name, "its parent \"%s\" is not in the scene" % obj.parent.name)
            else:
                self.link_parent(obj, node, parent_name)
            pfcs = self.fcurves_quiet(obj.parent)
            if not self.scale_is_uniform(obj.parent, pfcs) and self.has_rotation(obj, fcs):
                self.report.add(obj.name, "it turns under the non-uniformly scaled \"%s\": the engine's inverse "
                                "matrices (lighting) assume no shear" % obj.parent.name)
        if kind == "Mesh":
            self.export_mesh(obj, node)
        else:
            self.export_arrays(obj, node, [m for m in getattr(obj, "modifiers", []) if m.type == "ARRAY"])
        if obj.type == "MESH":
            self.export_particles(obj, node)
        self.mirror(node, camera_child=node.parent == CAMERA_NAME)
        self.nodes.append(node)

    def fcurves_quiet(self, obj):
        anim = obj.animation_data
        if anim is None or anim.action is None:
            return {}
        return {(fc.data_path, fc.array_index): fc for fc in anim.action.fcurves if not fc.mute}

    def link_parent(self, obj, node, parent_name):
        inverse = obj.matrix_parent_inverse
        if _identity(inverse):
            node.parent = parent_name
            return
        # Parenting in Blender usually keeps the inverse of the parent's pose at the time of parenting:
        # it becomes a node of its own between parent and child.
        loc, quat, scale = inverse.decompose()
        middle = Node(self.unique_node_name(node.name + ".parentInverse"), "Empty", None)
        middle.parent = parent_name
        middle.position = list(loc)
        middle.rotation = list(quat.to_euler("XYZ"))
        rebuilt = Matrix.LocRotScale(loc, quat, scale)
        if max(abs(rebuilt[i][j] - inverse[i][j]) for i in range(4) for j in range(4)) > 1e-5:
            self.report.add(obj.name, "its parent inverse matrix holds a shear, which is not exported")
        if max(abs(s - 1.0) for s in scale) > 1e-7:
            for i, axis in enumerate(AXES):
                middle.curves["Scale" + axis] = qc.constant_curve(scale[i])
        self.mirror(middle, camera_child=parent_name == CAMERA_NAME)
        self.nodes.append(middle)
        node.parent = middle.name

    def run(self):
        objects = list(self.scene.objects)
        self.assign_names(objects)
        camera_node = None
        if self.camera is not None:
            camera_node = self.export_camera(self.camera)
        else:
            self.report.add(None, "the scene has no camera: the engine draws it from the origin")
        for obj in objects:
            if obj is not self.camera:
                self.add_object(obj)
        return self.write(camera_node)

    # --- writing ----------------------------------------------------------------------------------

    @staticmethod
    def curve_text(curve, indent):
        keys = []
        for k in curve.keys:
            text = "{ %s, %s" % (lua.number(k.frame), lua.number(k.value))
            if curve.interpolation == "Bezier":
                text += ", left = { %s, %s }, right = { %s, %s }" % (
                    lua.number(k.left[0]), lua.number(k.left[1]), lua.number(k.right[0]), lua.number(k.right[1]))
            keys.append(text + " }")
        inner = indent + "    "
        return ("{ interpolation = %s, extrapolation = %s, keys = {\n" % (
            lua.string(curve.interpolation), lua.string(curve.extrapolation)) +
            "".join(inner + k + ",\n" for k in keys) + indent + "} }")

    def node_text(self, node, indent):
        scales = [node.curves.get("Scale" + axis) for axis in AXES]
        if all(c is not None and c.constant_value() == 1.0 for c in scales):
            for axis in AXES:
                del node.curves["Scale" + axis]
        inner = indent + "    "
        parts = []
        if node.kind in ("Mesh", "Empty"):
            parts.append("type = %s" % lua.string(node.kind))
        if node.kind != "Camera":
            parts.append("name = %s" % lua.string(node.name))
        if node.mesh:
            parts.append("mesh = %s" % lua.string(node.mesh))
        if node.parent:
            parts.append("parent = %s" % lua.string(node.parent))
        parts.append("position = %s" % lua.value(node.position))
        parts.append("rotation = %s" % lua.value(node.rotation))
        head = "{ " + ", ".join(parts)
        if not node.curves:
            return head + " }"
        order = ["LocX", "LocY", "LocZ", "RotX", "RotY", "RotZ", "dRotX", "dRotY", "dRotZ",
                 "ScaleX", "ScaleY", "ScaleZ"]
        curves = "".join("%s    %s = %s,\n" % (inner, channel, self.curve_text(node.curves[channel], inner + "    "))
                         for channel in order if channel in node.curves)
        return head + ",\n" + inner + "curves = {\n" + curves + inner + "} }"

    def write(self, camera_node):
        source = bpy.data.filepath or "an unsaved file"
        out = ["-- Exported from Blender by the Quorvel add-on: scene \"%s\" of %s.\n" % (self.scene.name, source),
               "-- Coordinates are Blender's; the camera carries the change of handedness (docs/blender.md).\n",
               "return {\n", "    length = %d,\n" % self.length]
        if self.textures:
            out.append("    textures = {\n")
            for name, path in sorted(self.textures.items()):
                out.append("        %s = image %s,\n" % (lua.key(name), lua.string(path)))
            out.append("    },\n")
        if self.meshes:
            out.append("    meshes = {\n")
            for name, entry in sorted(self.meshes.items()):
                out.append("        %s = %s,\n" % (lua.key(name), lua.value(entry, "        ")))
            out.append("    },\n")
        if camera_node is not None:
            out.append("    camera = %s,\n" % self.node_text(camera_node, "    "))
        for list_name, kinds in (("lamps", ("Lamp",)), ("objects", ("Mesh", "Empty"))):
            nodes = [n for n in self.nodes if n.kind in kinds]
            if nodes:
                out.append("    %s = {\n" % list_name)
                for n in nodes:
                    out.append("        -- %s\n" % (n.source.name if n.source is not None else
                                                     "the parent inverse of the next object"))
                    out.append("        %s,\n" % self.node_text(n, "        "))
                out.append("    },\n")
        out.append("}\n")

        program_rel = self.folder_rel + "/program.lua"
        if self.program["arrays"] or self.program["emitters"]:
            self.files[program_rel] = self.program_text()
        report_rel = self.folder_rel + "/export-report.txt"
        self.files[report_rel] = self.report.text(self.scene.name)
        for rel, data in self.files.items():
            _write(os.path.join(self.content_dir, rel), data)
        lua_path = os.path.join(self.content_dir, "scenes", self.name + ".lua")
        _write(lua_path, "".join(out))
        return Result(self.name, lua_path, self.report, sorted(self.files) + ["scenes/%s.lua" % self.name])

    def program_text(self):
        lines = ["-- What the scene file cannot hold: array modifiers and particle emitters for the program to\n",
                 "-- attach to the named nodes after loading the scene (docs/blender.md). In the timeline:\n"]
        for a in self.program["arrays"]:
            if all("object" in e and "offset" not in e for e in a["entries"]):
                dims = ", ".join("{\"%s\", %d}" % (e["object"], e["count"]) for e in a["entries"])
                lines.append("--   AddArray(loader, {\"%s\", {%s}});\n" % (a["object"], dims))
            else:
                lines.append("--   %s: constant offsets go into ArrayEntry::offset with useConstantOffset\n" %
                             a["object"])
        lines.append("return " + lua.value(self.program) + "\n")
        return "".join(lines)


def export_scene(scene, content_dir, name=None, depsgraph=None):
    if depsgraph is None:
        depsgraph = bpy.context.evaluated_depsgraph_get()
    return Exporter(scene, content_dir, name, depsgraph).run()
