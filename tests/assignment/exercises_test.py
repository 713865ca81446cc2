#!/usr/bin/env python3
"""The declaration's reader and the regions' markers from the outside: what a teacher or a
student may get wrong is refused with the line, and replacing a region keeps everything else."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                                "assignment"))

import exercises  # noqa: E402
import handout  # noqa: E402

CODE = """int kept() { return 1; }
    // Exercise walk: the walk.
    int a = 1;
    // End of exercise walk
int between;
// Exercise walk: a second region.
int b;
// End of exercise walk
"""


class Markers(unittest.TestCase):
    def test_regions_are_numbered_per_exercise_and_replaced_alone(self):
        texts = exercises.region_texts("f.cpp", CODE)
        self.assertEqual(texts, {("walk", 1): "    int a = 1;\n", ("walk", 2): "int b;\n"})
        replaced = exercises.replace_regions("f.cpp", CODE, {("walk", 2): "int c;"})
        self.assertEqual(replaced, CODE.replace("int b;\n", "int c;\n"))
        self.assertEqual(exercises.replace_regions("f.cpp", CODE, {}), CODE)

    def test_broken_markers_are_refused_with_their_line(self):
        cases = {
            "// Exercise a: x\n// Exercise b: y\n// End of exercise b\n": "f.cpp:2: exercise b opens",
            "// Exercise a: x\nint a;\n": "f.cpp:1: exercise a never ends",
            "int a;\n// End of exercise a\n": "f.cpp:2: the end of exercise a",
            "// Exercise a: x\n// End of exercise b\n": "f.cpp:2: the end of exercise b",
            "//Exercise a x\n": "f.cpp:1: a marker that does not read",
        }
        for text, reason in cases.items():
            with self.assertRaises(ValueError) as raised:
                exercises.regions_of_text("f.cpp", text)
            self.assertIn(reason, str(raised.exception))


class Declaration(unittest.TestCase):
    def test_every_declared_exercise_has_regions_and_each_region_a_stub(self):
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
        declared = {e.name for e in exercises.load_declaration(root)}
        regions = [r for rs in exercises.all_regions(root).values() for r in rs]
        self.assertLessEqual(declared, {r.exercise for r in regions})
        # The teacher's tree holds a stub for every region; a student copy holds none.
        if os.path.isdir(os.path.join(root, exercises.STUBS)):
            for region in regions:
                self.assertTrue(os.path.exists(os.path.join(root, region.stub_path())),
                                region.stub_path())

    def test_bad_declarations_name_the_line(self):
        cases = {"title: t\n": "before the first exercise",
                 "exercise a\npoints: ten\n": ":2: points are a whole number",
                 "exercise a\nneeds: b\n": "a needs b",
                 "exercise a\nexercise a\n": "a second exercise a",
                 "exercise a\ncolour: red\n": "no key 'colour'"}
        for text, reason in cases.items():
            with self.assertRaises(ValueError) as raised:
                exercises.parse_declaration(text)
            self.assertIn(reason, str(raised.exception))

    def test_the_student_declaration_keeps_no_mistake_code(self):
        text = ("exercise a\ntitle: A\npoints: 5\ntask: t\nframe: s --frames 1\n"
                "mistake m: Wrong\n  hint: look\n  in: f.cpp\n  replace: SECRET1\n"
                "  with: SECRET2\n")
        copy = handout.student_declaration(exercises.parse_declaration(text))
        self.assertNotIn("SECRET", copy)
        again = exercises.parse_declaration(copy)[0]
        self.assertEqual((again.mistakes[0].title, again.mistakes[0].hint), ("Wrong", "look"))
        self.assertEqual(again.frames, [("s", ["--frames", "1"])])


if __name__ == "__main__":
    unittest.main()
