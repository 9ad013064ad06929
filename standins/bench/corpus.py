"""The benchmark's corpus: about 50 MB of what people pack, generated from a seed.

Four parts in a folder tree: text/ (English, and Japanese in Shift-JIS), src/ (source
code), compressed/ (gzip, bzip2 and xz members, and photo-like noise) and random/. Every
file is drawn from its own generator seeded by the corpus seed and the file's path, so
the same seed and size give the same bytes on every run and machine with this Python.
Names are ASCII: the benchmark measures the encoders, not the name conversions.
"""
import bz2
import gzip
import hashlib
import lzma
import os
import random

# Raise when the generators change, so that a corpus on disk is made again.
CORPUS_VERSION = 1

# Share of the total size per part; text/ is what the LZX text goal is measured on.
PARTS = (("text/en", 0.22), ("text/ja", 0.22), ("src", 0.22), ("compressed", 0.18),
         ("random", 0.16))

ENGLISH_WORDS = """
the of and to a in is it you that he was for on are with as his they be at one have this
from or had by hot word but what some we can out other were all there when up use your
how said an each she which do their time if will way about many then them write would
like so these her long make thing see him two has look more day could go come did number
sound no most people my over know water than call first who may down side been now find
any new work part take get place made live where after back little only round man year
came show every good me give our under name very through just form sentence great think
say help low line differ turn cause much mean before move right boy old too same tell
does set three want air well also play small end put home read hand port large spell add
even land here must big high such follow act why ask men change went light kind off need
house picture try us again animal point mother world near build self earth father head
stand own page should country found answer school grow study still learn plant cover food
sun four between state keep eye never last let thought city tree cross farm hard start
might story saw far sea draw left late run while press close night real life few north
archive file folder compress extract window setting program version error message data
""".split()

ENGLISH_STEMS = ("con", "pre", "inter", "trans", "sub", "re", "de", "ex", "pro", "com",
                 "dis", "en", "im", "over", "under", "out", "micro", "multi", "auto", "co")
ENGLISH_ROOTS = ("struct", "form", "port", "ject", "duct", "mit", "tend", "vert", "spect",
                 "press", "pose", "scribe", "cede", "fer", "graph", "log", "phon", "tract",
                 "vis", "dict", "rupt", "sist", "mand", "pend", "plic", "gress", "cur")
ENGLISH_ENDS = ("", "s", "ed", "ing", "ion", "ive", "able", "er", "ment", "ness", "ly",
                "ity", "al", "ous")

# Frequent Japanese words and particles, the grammar that repeats in every sentence.
JAPANESE_WORDS = """
は が を に で と も の へ から まで より です ます でした ました ある いる する なる
できる 思う 言う 見る 行く 来る 使う 作る 持つ 書く 読む これ それ あれ この その
ため こと もの とき ところ よう 今日 明日 会社 仕事 会議 資料 報告 確認 連絡 予定
問題 結果 説明 対応 必要 可能 場合 以下 以上 について により として ファイル フォルダ
圧縮 解凍 設定 保存 変更 削除 作成 送信 受信 表示 画面 ボタン 選択 入力 出力 処理
お願い いたします よろしく ございます 申し訳 ありません ください 皆様 担当 部長
""".split()


def _kanji(rng, count):
    """count distinct kanji of JIS level 1 (all in Shift-JIS rows 0x89-0x97)."""
    pool = []
    for lead in range(0x89, 0x98):
        for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD)):
            pool.append(bytes((lead, trail)).decode("cp932"))
    rng.shuffle(pool)
    return pool[:count]


def _katakana_word(rng):
    chars = [chr(c) for c in range(0x30A2, 0x30F3)]
    return "".join(rng.choice(chars) for _ in range(rng.randint(2, 5))) + \
        ("ー" if rng.random() < 0.3 else "")


def _zipf_cumulative(count, exponent=1.07):
    total, cumulative = 0.0, []
    for rank in range(1, count + 1):
        total += 1.0 / rank ** exponent
        cumulative.append(total)
    return cumulative


class _Vocabulary:
    """English and Japanese words with Zipf weights, built once per corpus seed."""

    def __init__(self, seed):
        rng = random.Random(f"{seed}/vocabulary")
        rare = {rng.choice(ENGLISH_STEMS) + rng.choice(ENGLISH_ROOTS) + rng.choice(ENGLISH_ENDS)
                for _ in range(6000)}
        rare_sorted = sorted(rare)
        rng.shuffle(rare_sorted)
        self.english = ENGLISH_WORDS + rare_sorted
        self.english_weights = _zipf_cumulative(len(self.english))
        kanji = _kanji(rng, 900)
        compounds = sorted({"".join(rng.sample(kanji[:rng.choice((150, 400, 900))], 2))
                            for _ in range(5000)})
        rng.shuffle(compounds)
        katakana = [_katakana_word(rng) for _ in range(800)]
        rest = compounds + katakana
        rng.shuffle(rest)
        self.japanese = JAPANESE_WORDS + rest
        self.japanese_weights = _zipf_cumulative(len(self.japanese))
        self.identifiers = sorted({w for w in self.english if w.isalpha() and len(w) > 2})[:2500]
        rng.shuffle(self.identifiers)
        self.identifier_weights = _zipf_cumulative(len(self.identifiers), 1.2)


def english_text(rng, vocab, size, newline="\n"):
    out, length = [], 0
    while length < size:
        paragraph = []
        for _ in range(rng.randint(2, 7)):
            words = rng.choices(vocab.english, cum_weights=vocab.english_weights,
                                k=rng.randint(5, 24))
            sentence = " ".join(words)
            paragraph.append(sentence[0].upper() + sentence[1:] + rng.choice(".....?!"))
        lines, line = [], ""
        for word in " ".join(paragraph).split(" "):
            if line and len(line) + 1 + len(word) > 76:
                lines.append(line)
                line = word
            else:
                line = f"{line} {word}" if line else word
        lines.append(line)
        block = newline.join(lines) + newline + newline
        out.append(block)
        length += len(block)
    return "".join(out).encode("ascii")[:size]


def japanese_text(rng, vocab, size, newline="\r\n"):
    out, length = [], 0
    while length < size:
        paragraph = []
        for _ in range(rng.randint(1, 5)):
            words = rng.choices(vocab.japanese, cum_weights=vocab.japanese_weights,
                                k=rng.randint(6, 30))
            paragraph.append("".join(words) + rng.choice("。。。、！？"))
        block = ("　" + "".join(paragraph) + newline).encode("cp932")
        out.append(block)
        length += len(block)
    data = b"".join(out)[:size]
    # Never end on the lead byte of a character.
    return data if data.decode("cp932", "ignore").encode("cp932") == data else data[:-1]


def log_text(rng, vocab, size):
    out, length, t = [], 0, 1_700_000_000
    levels = ("INFO", "INFO", "INFO", "DEBUG", "WARN", "ERROR")
    while length < size:
        t += rng.randint(0, 90)
        words = rng.choices(vocab.english, cum_weights=vocab.english_weights, k=rng.randint(3, 12))
        line = (f"2026-{(t // 86400) % 12 + 1:02d}-{(t // 3600) % 28 + 1:02d} "
                f"{(t // 3600) % 24:02d}:{(t // 60) % 60:02d}:{t % 60:02d} "
                f"{rng.choice(levels):5} [worker-{rng.randint(1, 8)}] {' '.join(words)} "
                f"id={rng.randint(1000, 99999)}\r\n")
        out.append(line)
        length += len(line)
    return "".join(out).encode("ascii")[:size]


def source_code(rng, vocab, size):
    def ident():
        parts = rng.choices(vocab.identifiers, cum_weights=vocab.identifier_weights,
                            k=rng.randint(1, 3))
        return parts[0] + "".join(p.capitalize() for p in parts[1:])

    out, length = ["// Generated for the compression benchmark.\n#include <stdio.h>\n"
                   "#include <string.h>\n\n"], 0
    while length < size:
        name, args = ident(), ", ".join(f"int {ident()}" for _ in range(rng.randint(0, 3)))
        lines = []
        if rng.random() < 0.5:
            words = rng.choices(vocab.english, cum_weights=vocab.english_weights,
                                k=rng.randint(6, 16))
            lines.append("/* " + " ".join(words) + ". */")
        lines.append(f"static int {name}({args or 'void'}) {{")
        depth = 1
        for _ in range(rng.randint(3, 18)):
            pad = "    " * depth
            choice = rng.random()
            a, b = ident(), ident()
            if choice < 0.25:
                lines.append(f"{pad}int {a} = {b} + {rng.randint(0, 255)};")
            elif choice < 0.4 and depth < 4:
                lines.append(f"{pad}for (int i = 0; i < {a}; ++i) {{")
                depth += 1
            elif choice < 0.55 and depth < 4:
                lines.append(f"{pad}if ({a} != {b}) {{")
                depth += 1
            elif choice < 0.7 and depth > 1:
                depth -= 1
                lines.append("    " * depth + "}")
            elif choice < 0.85:
                lines.append(f'{pad}printf("%d {a}\\n", {b}({a}));')
            else:
                lines.append(f"{pad}{a} = {b}({a}, sizeof({b}));")
        while depth > 1:
            depth -= 1
            lines.append("    " * depth + "}")
        lines.append(f"    return {ident()};\n}}\n")
        block = "\n".join(lines) + "\n"
        out.append(block)
        length += len(block)
    return "".join(out).encode("ascii")[:size]


def _file_sizes(rng, budget, smallest=800, largest=600_000, big=None):
    """Log-uniform sizes filling budget; big: a few large files first, as people have."""
    sizes = list(big or ())
    left = budget - sum(sizes)
    while left > smallest:
        size = min(left, int(smallest * (largest / smallest) ** rng.random()))
        sizes.append(size)
        left -= size
    return sizes


def _folder(rng, part):
    """Spreads a part's files over a tree two or three folders deep."""
    depth = rng.choice((1, 1, 2, 2, 3))
    parts = [part] + [f"d{rng.randint(0, 3)}" for _ in range(depth)]
    return "/".join(parts)


def _plan(total, seed):
    """The corpus's files, as (relative path, kind, size), in a fixed order."""
    rng = random.Random(f"{seed}/plan")
    plan = []
    for part, share in PARTS:
        budget = int(total * share)
        big = (budget // 6,) if part in ("text/en", "text/ja", "random") else ()
        for index, size in enumerate(_file_sizes(rng, budget, big=big)):
            if part == "text/en":
                kind, ext = rng.choice((("english", "txt"), ("english-crlf", "txt"),
                                        ("log", "log")))
            elif part == "text/ja":
                kind, ext = "japanese", "txt"
            elif part == "src":
                kind, ext = rng.choice((("source", "c"), ("source", "cpp"), ("source", "h")))
            elif part == "compressed":
                kind, ext = rng.choice((("gzip", "gz"), ("bzip2", "bz2"), ("xz", "xz"),
                                        ("noise", "jpg")))
            else:
                kind, ext = "random", "bin"
            plan.append((f"{_folder(rng, part)}/{kind.split('-')[0]}{index:04d}.{ext}",
                         kind, size))
    return plan


def _content(kind, size, rng, vocab):
    if kind == "english":
        return english_text(rng, vocab, size)
    if kind == "english-crlf":
        return english_text(rng, vocab, size, "\r\n")
    if kind == "log":
        return log_text(rng, vocab, size)
    if kind == "japanese":
        return japanese_text(rng, vocab, size)
    if kind == "source":
        return source_code(rng, vocab, size)
    if kind == "random":
        return rng.randbytes(size)
    if kind == "noise":
        # A JPEG's frame is entropy-coded: noise behind a real-looking header.
        return (b"\xff\xd8\xff\xe0\x00\x10JFIF\x00" + rng.randbytes(size))[:size]
    # Compressed members of the other kinds, about size bytes once compressed: the plain
    # text is as much larger as each codec shrinks it on these generators.
    english = rng.random() < 0.5
    expand = {"gzip": (2.95, 5.1), "bzip2": (4.2, 8.6), "xz": (3.5, 6.4)}[kind][0 if english else 1]
    plain = (english_text if english else source_code)(rng, vocab, int(size * expand))
    if kind == "gzip":
        return gzip.compress(plain, 6, mtime=0)
    if kind == "bzip2":
        return bz2.compress(plain, 9)
    return lzma.compress(plain, preset=6)


def generate(root, total_bytes, seed=11):
    """Writes the corpus under root (which must not exist yet); returns its manifest."""
    vocab = _Vocabulary(seed)
    for path, kind, size in _plan(total_bytes, seed):
        rng = random.Random(f"{seed}/{path}")
        data = _content(kind, size, rng, vocab)
        target = os.path.join(root, *path.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as out:
            out.write(data)
    return manifest(root)


def manifest(root, prefix=""):
    """{relative path with '/': (size, sha1)} of every file under root."""
    files = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            rel = prefix + os.path.relpath(path, root).replace(os.sep, "/")
            digest = hashlib.sha1()
            with open(path, "rb") as f:
                for block in iter(lambda: f.read(1 << 20), b""):
                    digest.update(block)
            files[rel] = (os.path.getsize(path), digest.hexdigest())
    return files


def digest(files):
    """One short fingerprint of a manifest, printed beside the figures."""
    h = hashlib.sha1()
    for rel in sorted(files):
        size, sha = files[rel]
        h.update(f"{rel} {size} {sha}\n".encode())
    return h.hexdigest()[:16]


def part_bytes(files, part):
    return sum(size for rel, (size, _) in files.items() if rel.startswith(part + "/"))
