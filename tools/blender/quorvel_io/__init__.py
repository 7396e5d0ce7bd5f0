"""Quorvel scene export and import for Blender: File > Export > Quorvel scene writes the active scene
into a content folder (scenes/<name>.lua with its meshes and textures) for talvo-build and
quorvel --watch; File > Import > Quorvel scene (.demo) reads a compiled scene back. With "Export on
save" set in the scene's Quorvel panel, every save of the .blend file exports again.

Headless use: put this folder's parent on sys.path, import quorvel_io and call register(); or call
quorvel_io.exporter.export_scene and quorvel_io.importer.import_demo directly."""

bl_info = {
    "name": "Quorvel scene format",
    "author": "Quorvel developers",
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "File > Export > Quorvel scene, File > Import > Quorvel scene (.demo)",
    "description": "Export scenes into a Quorvel content folder and import compiled Quorvel scenes",
    "category": "Import-Export",
}

import os

import bpy
from bpy.app.handlers import persistent
from bpy.props import BoolProperty, StringProperty
from bpy_extras.io_utils import ImportHelper

from . import exporter, importer


def _report_to(operator, result):
    for line in result.report.lines():
        operator.report({"WARNING"}, line)
    operator.report({"INFO"}, "Quorvel: wrote %s (%d problems, see %s/export-report.txt)" % (
        result.lua_path, len(result.report.entries), os.path.join("scenes", result.name)))


def _content_dir(scene):
    return bpy.path.abspath(scene.quorvel_content_dir) if scene.quorvel_content_dir else ""


class QUORVEL_OT_export(bpy.types.Operator):
    """Write the active scene into a Quorvel content folder"""

    bl_idname = "export_scene.quorvel"
    bl_label = "Export Quorvel scene"
    bl_options = {"REGISTER"}

    directory: StringProperty(name="Content folder", subtype="DIR_PATH",
                              description="The content folder: the scene goes to scenes/<name>.lua in it")
    scene_name: StringProperty(name="Scene name", description="The file name in scenes/; the scene's name when empty")

    def invoke(self, context, event):
        scene = context.scene
        self.directory = _content_dir(scene)
        self.scene_name = scene.quorvel_scene_name
        context.window_manager.fileselect_add(self)
        return {"RUNNING_MODAL"}

    def execute(self, context):
        if not self.directory:
            self.report({"ERROR"}, "Quorvel: choose a content folder")
            return {"CANCELLED"}
        scene = context.scene
        scene.quorvel_content_dir = self.directory
        if self.scene_name:
            scene.quorvel_scene_name = self.scene_name
        try:
            result = exporter.export_scene(scene, self.directory, self.scene_name or None)
        except OSError as error:
            self.report({"ERROR"}, "Quorvel: the export into %s failed: %s" % (self.directory, error))
            return {"CANCELLED"}
        _report_to(self, result)
        return {"FINISHED"}


class QUORVEL_OT_import(bpy.types.Operator, ImportHelper):
    """Read a compiled Quorvel scene (.demo) and its meshes into the active scene"""

    bl_idname = "import_scene.quorvel"
    bl_label = "Import Quorvel scene"
    bl_options = {"REGISTER", "UNDO"}

    filename_ext = ".demo"
    filter_glob: StringProperty(default="*.demo", options={"HIDDEN"})
    content_dir: StringProperty(name="Content folder", subtype="DIR_PATH",
                                description="Where the scene's material scripts come from (optional)")

    def execute(self, context):
        try:
            objects, notes = importer.import_demo(context, self.filepath, bpy.path.abspath(self.content_dir) or None)
        except (OSError, importer.formats.FormatError) as error:
            self.report({"ERROR"}, "Quorvel: %s" % error)
            return {"CANCELLED"}
        for note in notes:
            self.report({"WARNING"}, note)
        self.report({"INFO"}, "Quorvel: imported %d objects from %s" % (len(objects), self.filepath))
        return {"FINISHED"}


class QUORVEL_PT_scene(bpy.types.Panel):
    bl_label = "Quorvel"
    bl_space_type = "PROPERTIES"
    bl_region_type = "WINDOW"
    bl_context = "scene"

    def draw(self, context):
        scene = context.scene
        self.layout.prop(scene, "quorvel_content_dir")
        self.layout.prop(scene, "quorvel_scene_name")
        self.layout.prop(scene, "quorvel_export_on_save")


@persistent
def export_on_save(_file):
    """After every save, export the scenes that ask for it, so a running quorvel --watch shows them."""
    for scene in bpy.data.scenes:
        if not scene.quorvel_export_on_save or not scene.quorvel_content_dir:
            continue
        # A failed export must not disturb the save it follows: it is told on the console instead.
        try:
            result = exporter.export_scene(scene, _content_dir(scene), scene.quorvel_scene_name or None)
        except OSError as error:
            print("Quorvel: the export of scene \"%s\" into %s failed: %s" % (scene.name, _content_dir(scene), error))
            continue
        print("Quorvel: exported scene \"%s\" to %s" % (scene.name, result.lua_path))
        for line in result.report.lines():
            print("Quorvel:   " + line)


def _menu_export(self, _context):
    self.layout.operator(QUORVEL_OT_export.bl_idname, text="Quorvel scene")


def _menu_import(self, _context):
    self.layout.operator(QUORVEL_OT_import.bl_idname, text="Quorvel scene (.demo)")


_classes = (QUORVEL_OT_export, QUORVEL_OT_import, QUORVEL_PT_scene)


def register():
    for cls in _classes:
        bpy.utils.register_class(cls)
    bpy.types.Scene.quorvel_content_dir = StringProperty(
        name="Content folder", subtype="DIR_PATH", description="The content folder the scene is exported into")
    bpy.types.Scene.quorvel_scene_name = StringProperty(
        name="Scene name", description="The file name in scenes/; the scene's name when empty")
    bpy.types.Scene.quorvel_export_on_save = BoolProperty(
        name="Export on save", description="Export this scene into the content folder whenever the file is saved")
    bpy.types.TOPBAR_MT_file_export.append(_menu_export)
    bpy.types.TOPBAR_MT_file_import.append(_menu_import)
    if export_on_save not in bpy.app.handlers.save_post:
        bpy.app.handlers.save_post.append(export_on_save)


def unregister():
    if export_on_save in bpy.app.handlers.save_post:
        bpy.app.handlers.save_post.remove(export_on_save)
    bpy.types.TOPBAR_MT_file_import.remove(_menu_import)
    bpy.types.TOPBAR_MT_file_export.remove(_menu_export)
    del bpy.types.Scene.quorvel_export_on_save
    del bpy.types.Scene.quorvel_scene_name
    del bpy.types.Scene.quorvel_content_dir
    for cls in reversed(_classes):
        bpy.utils.unregister_class(cls)
