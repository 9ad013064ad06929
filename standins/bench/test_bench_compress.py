"""The benchmark's own logic: the corpus, the archive checks, the goals and the table.
Native and quick (a corpus of about 1 MB); run by CTest as bench_compress_selftest."""
import argparse
import bz2
import gzip
import lzma
import os
import shutil
import subprocess
import tempfile
import unittest
import zlib

import bench_compress as bench
import corpus


def tool(argv):
    result = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return result.returncode == 0, result.stdout.decode("utf-8", "replace")


class CorpusTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="bench-corpus-")
        cls.files = corpus.generate(os.path.join(cls.dir, "a"), 1_200_000, seed=5)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def test_same_seed_same_bytes_other_seed_other_bytes(self):
        again = corpus.generate(os.path.join(self.dir, "b"), 1_200_000, seed=5)
        other = corpus.generate(os.path.join(self.dir, "c"), 1_200_000, seed=6)
        self.assertEqual(corpus.digest(self.files), corpus.digest(again))
        self.assertNotEqual(corpus.digest(self.files), corpus.digest(other))

    def test_every_part_is_there_in_its_share(self):
        total = sum(size for size, _ in self.files.values())
        self.assertAlmostEqual(total, 1_200_000, delta=120_000)
        for part, share in corpus.PARTS:
            got = corpus.part_bytes(self.files, part)
            # Compressed members land near, not on, their budget.
            self.assertAlmostEqual(got / 1_200_000, share, delta=0.06, msg=part)
        folders = {os.path.dirname(rel) for rel in self.files}
        self.assertTrue(any(f.count("/") >= 2 for f in folders), "a tree, not a flat list")

    def test_each_kind_of_data_is_what_it_claims(self):
        root = os.path.join(self.dir, "a")
        ratios = {}
        for rel in self.files:
            with open(os.path.join(root, rel), "rb") as f:
                data = f.read()
            if rel.startswith("text/ja/"):
                text = data.decode("cp932")  # Shift-JIS throughout, never cut mid-character
                self.assertTrue(any(ord(c) > 0x3000 for c in text), rel)
            elif rel.endswith(".gz"):
                gzip.decompress(data)
            elif rel.endswith(".bz2"):
                bz2.decompress(data)
            elif rel.endswith(".xz"):
                lzma.decompress(data)
            part = rel.split("/")[0] if not rel.startswith("text/") else rel[:7]
            packed, plain = ratios.get(part, (0, 0))
            ratios[part] = (packed + len(zlib.compress(data, 6)), plain + len(data))
        ratio = {part: packed / plain for part, (packed, plain) in ratios.items()}
        self.assertLess(ratio["text/en"], 0.45)
        self.assertLess(ratio["src"], 0.35)
        self.assertLess(ratio["text/ja"], 0.65)
        self.assertGreater(ratio["compressed"], 0.98)
        self.assertGreater(ratio["random"], 0.99)


class CheckTest(unittest.TestCase):
    """The checks must refuse an archive that a tool rejects, that holds the wrong method,
    or whose content differs from the corpus."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="bench-check-")
        self.src = os.path.join(self.dir, "corpus")
        os.makedirs(os.path.join(self.src, "text", "d"))
        with open(os.path.join(self.src, "text", "d", "a.txt"), "wb") as f:
            f.write(b"compressible line\n" * 500)
        with open(os.path.join(self.src, "r.bin"), "wb") as f:
            f.write(os.urandom(3000))
        self.expected = corpus.manifest(self.src, prefix="corpus/")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def check(self, kind, method, archive):
        into = tempfile.mkdtemp(dir=self.dir)
        problem = bench.check_archive(kind, method, archive, into, tool)
        return problem or bench.compare(self.expected, corpus.manifest(into))

    def make(self, argv):
        subprocess.run(argv, cwd=self.dir, check=True, stdout=subprocess.DEVNULL)
        return os.path.join(self.dir, argv[-2] if argv[0] != "tar" else argv[2])

    def test_good_archives_pass(self):
        self.assertIsNone(self.check("tgz", None, self.make(["tar", "czf", "a.tgz", "corpus"])))
        self.assertIsNone(self.check("tbz", None, self.make(["tar", "cjf", "a.tbz", "corpus"])))
        self.assertIsNone(self.check("zip", "deflate", self.make(["zip", "-qr", "a.zip",
                                                                  "corpus"])))
        self.assertIsNone(self.check("lzh", "-lh5-", self.make(["jlha", "ao5q", "a.lzh",
                                                                "corpus"])))
        self.assertIsNone(self.check("cab", "MSZip", self.make(["gcab", "-c", "-z", "a.cab",
                                                                "corpus"])))

    def test_wrong_method_is_named(self):
        stored = self.make(["zip", "-0qr", "s.zip", "corpus"])
        self.assertIn("not deflate", self.check("zip", "deflate", stored))
        lh5 = self.make(["jlha", "ao5q", "b.lzh", "corpus"])
        self.assertIn("not -lh7-", self.check("lzh", "-lh7-", lh5))
        plain_cab = self.make(["gcab", "-c", "p.cab", "corpus"])
        self.assertIn("not MSZip", self.check("cab", "MSZip", plain_cab))

    def test_broken_or_different_content_is_caught(self):
        archive = self.make(["tar", "czf", "c.tgz", "corpus"])
        with open(archive, "r+b") as f:
            f.seek(os.path.getsize(archive) // 2)
            f.write(b"\xff\x00\xff\x00")
        self.assertIsNotNone(self.check("tgz", None, archive))
        # A readable archive of another tree: one file differs, one is missing.
        with open(os.path.join(self.src, "r.bin"), "ab") as f:
            f.write(b"x")
        os.remove(os.path.join(self.src, "text", "d", "a.txt"))
        other = self.make(["tar", "czf", "d.tgz", "corpus"])
        problem = self.check("tgz", None, other)
        self.assertIn("1 missing (e.g. corpus/text/d/a.txt)", problem)
        self.assertIn("1 differing (e.g. corpus/r.bin)", problem)


def outcome(size=None, times=(), problem=None, cpu=None):
    o = bench.Outcome()
    for t in times:
        o.add(t, cpu if cpu is not None else t, size)
    if size is not None and not times:
        o.size = size
    if problem:
        o.fail(problem)
    return o


class GoalTest(unittest.TestCase):
    def test_goals_on_their_limits(self):
        goal = {g[2] + "/" + g[1] + "/" + (g[3] or ""): g for g in bench.GOALS}
        cases = [  # goal key, outcomes, expected start of the verdict
            ("lh5/size/jlha5", {"lh5": outcome(100, [1]), "jlha5": outcome(100, [1])}, "met"),
            ("lh5/size/jlha5", {"lh5": outcome(101, [1]), "jlha5": outcome(100, [1])}, "missed"),
            ("mszip/size/gcab", {"mszip": outcome(102, [1]), "gcab": outcome(100, [1])}, "met"),
            ("mszip/size/gcab", {"mszip": outcome(103, [1]), "gcab": outcome(100, [1])},
             "missed"),
            # medians, not means: one slow round does not decide
            ("zip/time/zip6", {"zip": outcome(1, [1.4, 9.0, 1.5]), "zip6": outcome(1, [1, 1, 1])},
             "met"),
            ("zip/time/zip6", {"zip": outcome(1, [1.6, 1.6, 0.1]), "zip6": outcome(1, [1, 1])},
             "missed"),
            ("lzx/smaller/mszip", {"lzx": outcome(100, [1]), "mszip": outcome(100, [1])},
             "missed"),
            ("lzx-text/size/mszip-text", {"lzx-text": outcome(95, [1]),
                                          "mszip-text": outcome(100, [1])}, "met"),
            ("lzx/speed/", {"lzx": outcome(1, [10.0], cpu=2.0)},
             "met (5.0 MB/s; 25.0 per CPU second)"),
            ("lzx/speed/", {"lzx": outcome(1, [10.1])}, "missed"),
            # a wrong archive or a job that never ran judges nothing
            ("lh5/size/jlha5", {"lh5": outcome(1, [1], "lha t rejects it"),
                                "jlha5": outcome(100, [1])}, "n/a (lh5 wrong)"),
            ("lh5/time/jlha5", {"lh5": outcome(1, [1])}, "n/a (jlha5 not run)"),
        ]
        for key, outcomes, verdict in cases:
            with self.subTest(key=key, verdict=verdict):
                self.assertTrue(bench.judge(goal[key], outcomes, 50_000_000).startswith(verdict),
                                bench.judge(goal[key], outcomes, 50_000_000))

    def test_extraction_of_a_wrong_cabinet_judges_nothing(self):
        goal = next(g for g in bench.GOALS if g[2] == "lzx-x")
        outcomes = {"lzx": outcome(10, [1], "7zz shows ['None'], not LZX:21"),
                    "lzx-x": outcome(None, [1.0]), "mszip-x": outcome(None, [1.0])}
        self.assertTrue(bench.judge(goal, outcomes, 1).startswith("met"))
        bench.propagate(outcomes)
        self.assertEqual(bench.judge(goal, outcomes, 1), "n/a (lzx-x wrong)")
        self.assertEqual(outcomes["lzx-x"].problem, "its cabinet is wrong (lzx)")

    def test_table_shows_ratios_and_problems(self):
        outcomes = {"lh5": outcome(80, [2.0], cpu=1.0), "jlha5": outcome(100, [4.0], cpu=4.0),
                    "lh7": outcome(70, [3.0], "7zz shows ['-lh5-'], not -lh7-"),
                    "jlha7": outcome(90, [3.0])}
        rows = {r[0]: r for r in bench.table_rows(outcomes)}
        self.assertEqual(rows["LZH -lh5-"][1:],
                         ["80", "jlha -lh5-", "100", "0.800", "2.00", "jlha -lh5-", "4.00",
                          "0.500", "0.250", "checked"])
        self.assertEqual(rows["LZH -lh7-"][-1], "WRONG: lh7")
        self.assertEqual(bench.problems(outcomes), ["lh7: 7zz shows ['-lh5-'], not -lh7-"])
        self.assertEqual(rows["TAR.BZ2"][1], "-")  # not run: dashes, no crash
        self.assertEqual(rows["TAR.BZ2"][-1], "not run: bz2, tarj")
        lines = bench.format_table(list(rows.values())).splitlines()
        self.assertEqual(len(lines), len(bench.ROWS) + 2)
        self.assertEqual(len({line.index("|") for line in lines if "|" in line}), 1)


class DriverTest(unittest.TestCase):
    def test_what_the_driver_printed(self):
        cases = [  # exit code, printed, expected (seconds, cpu, problem)
            (0, "result 0 seconds 1.500000 cpu 1.250000\r\n", (1.5, 1.25, None)),
            (0, "result 0 seconds 0.009000 cpu -0.000000\r\n", (0.009, 0.0, None)),
            (9, "message 書庫: a.bz2 作成できません\r\nresult 9 seconds 0.2 cpu 0.1\r\n",
             (None, None, 'Tar32.dll returned 9, saying "書庫: a.bz2 作成できません"')),
            # a box means a failure, whatever the result says
            (0, "message 警告\nresult 0 seconds 0.2 cpu 0.1\n",
             (None, None, 'Tar32.dll returned 0, saying "警告"')),
            (100, "cannot load x.dll\n", (None, None, "Tar32.dll returned nothing (exit 100)")),
            (None, "", (None, None, "no answer in 60 s")),
        ]
        for code, printed, expected in cases:
            with self.subTest(printed=printed):
                self.assertEqual(bench.parse_driver("Tar32.dll", code, printed, 60), expected)


class CorpusReuseTest(unittest.TestCase):
    def test_a_changed_corpus_is_made_again(self):
        work = tempfile.mkdtemp(prefix="bench-work-")
        try:
            args = argparse.Namespace(work=work, root=work, mb=1, seed=3)
            first = bench.Bench(args)
            self.assertEqual(first.prepare_corpus(), "generated")
            self.assertEqual(bench.Bench(args).prepare_corpus(), "reused")
            victim = os.path.join(work, "corpus", sorted(first.files)[0])
            with open(victim, "ab") as f:
                f.write(b"edited")
            again = bench.Bench(args)
            self.assertEqual(again.prepare_corpus(), "generated")
            self.assertEqual(again.files, first.files)
            args.seed = 4
            self.assertEqual(bench.Bench(args).prepare_corpus(), "generated")
        finally:
            shutil.rmtree(work)


class ProcessTest(unittest.TestCase):
    def test_a_hung_run_is_killed_and_cpu_is_counted(self):
        code, wall, _ = bench.run_process(["sleep", "30"], timeout=0.5)
        self.assertIsNone(code)
        self.assertLess(wall, 10)
        code, _, cpu = bench.run_process(
            ["sh", "-c", "i=0; while [ $i -lt 200000 ]; do i=$((i+1)); done"])
        self.assertEqual(code, 0)
        self.assertGreater(cpu, 0.05)


if __name__ == "__main__":
    unittest.main()
