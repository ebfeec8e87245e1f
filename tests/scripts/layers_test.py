#!/usr/bin/env python3
"""The layer check run over small trees made for the purpose: a clean tree
passes; an include or a call planted against the order fails and is named."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts', 'layers.py')
COMPILER = shutil.which('cc') or shutil.which('gcc')


class LayerScript(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix='layers-')
        # Where the build leaves the internal library's objects.
        self.objects = os.path.join(self.root, 'build', 'debug', 'CMakeFiles', 'talix_objects.dir')

    def tearDown(self):
        shutil.rmtree(self.root)

    def source(self, relative, text):
        path = os.path.join(self.root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'w') as out:
            out.write(text)

    def compiled(self, relative, text):
        """A source of the folder and its object, as the build leaves it
        (folder/name.cpp.o)."""
        self.source(relative, text)
        path = os.path.join(self.objects, relative + '.o')
        os.makedirs(os.path.dirname(path), exist_ok=True)
        subprocess.run([COMPILER, '-x', 'c++', '-c', '-I', self.root, '-o', path, os.path.join(self.root, relative)],
                       check=True)

    def run_script(self, *extra):
        run = subprocess.run([sys.executable, SCRIPT, *extra, self.root], capture_output=True, text=True)
        return run.returncode, run.stdout

    def clean_tree(self):
        self.source('core/record.h', 'int core_count();\n')
        self.compiled('core/record.cpp', '#include "core/record.h"\nint core_count() { return 1; }\n')
        self.compiled('engine/walk.cpp', '#include "core/record.h"\nint engine_walk() { return core_count(); }\n')

    def test_a_tree_whose_layers_run_one_way_passes(self):
        self.clean_tree()
        code, out = self.run_script('--objects', self.objects)
        self.assertEqual(code, 0, out)
        self.assertIn('0 includes against the order, 0 folder cycles, 0 link references', out)
        # The build tree's objects are found without being named.
        self.assertEqual(self.run_script(), (code, out))

    def plant_call(self):
        """core calls a function of engine through a declaration of its
        own: the includes say nothing of it."""
        self.compiled('core/planted.cpp', 'int engine_walk();\nint core_planted() { return engine_walk(); }\n')

    def assert_fails(self, *lines):
        """The check over the objects fails and prints each of the lines."""
        code, out = self.run_script('--objects', self.objects)
        self.assertEqual(code, 1, out)
        for line in lines:
            self.assertIn(line, out)
        return out

    def test_an_include_against_the_order_fails(self):
        self.clean_tree()
        self.source('engine/walk.h', 'int engine_walk(void);\n')
        self.source('core/planted.cpp', '#include "engine/walk.h"\n')
        self.assert_fails('against the order: core -> engine (1 includes)',
                          '1 includes against the order, 1 folder cycles')

    def test_a_call_against_the_order_fails_though_no_include_shows_it(self):
        self.clean_tree()
        self.plant_call()
        self.assert_fails('against the order (link): core/planted.cpp.o -> engine: engine_walk()',
                          '0 includes against the order, 0 folder cycles, 1 link references')

    def test_data_and_calls_to_later_siblings_and_below_are_allowed(self):
        self.clean_tree()
        # Folders of one level may call one another; a later folder's data
        # read from an earlier one is against the order like a call.
        self.compiled('mime/part.cpp', 'int htmlgen_render();\nint mime_part() { return htmlgen_render(); }\n')
        self.compiled('htmlgen/render.cpp', 'int htmlgen_render() { return 2; }\n')
        self.compiled('builders/gate.cpp', 'extern int engine_table[4];\nint gate() { return engine_table[1]; }\n')
        self.compiled('engine/table.cpp', 'int engine_table[4] = {1, 2, 3, 4};\n')
        out = self.assert_fails('builders/gate.cpp.o -> engine: engine_table', '1 link references')
        self.assertNotIn('mime/part.cpp.o', out)

    def test_the_set_up_is_reached_by_the_driver_only(self):
        self.clean_tree()
        # The driver makes its session through the set-up, its sibling; a
        # folder whose functions the set-up puts into the tables may not
        # reach it, though it stands on the same level.
        self.compiled('setup/session.cpp', 'int htmlgen_render();\nint make_session() { return htmlgen_render(); }\n')
        self.compiled('htmlgen/render.cpp', 'int htmlgen_render() { return 2; }\n')
        self.compiled('driver/open.cpp', 'int make_session();\nint driver_open() { return make_session(); }\n')
        code, out = self.run_script('--objects', self.objects)
        self.assertEqual(code, 0, out)
        self.compiled('htmlgen/planted.cpp', 'int make_session();\nint htmlgen_planted() { return make_session(); }\n')
        out = self.assert_fails('htmlgen/planted.cpp.o -> setup: make_session()', '1 link references')
        self.assertNotIn('driver/open.cpp.o', out)

    def test_the_objects_of_removed_sources_are_passed_over(self):
        self.clean_tree()
        self.plant_call()
        os.unlink(os.path.join(self.root, 'core', 'planted.cpp'))
        code, out = self.run_script('--objects', self.objects)
        self.assertEqual(code, 0, out)
        self.assertIn('0 link references against the order (2 objects)', out)

    def test_without_objects_only_the_includes_are_checked(self):
        self.clean_tree()
        shutil.rmtree(os.path.join(self.root, 'build'))
        code, out = self.run_script()
        self.assertEqual(code, 0, out)
        self.assertIn('link level not checked', out)
        code, _ = self.run_script('--objects', os.path.join(self.root, 'absent'))
        self.assertEqual(code, 2)


if __name__ == '__main__':
    unittest.main()
