// Measures the LZH encoder against jlha on generated data: English text, source code,
// already compressed data and random bytes, one file each (about 50 MB in all). Not a test:
// run it by hand after building the native tree (tools/fuzz.sh builds it):
//   build/fuzz/lzh_encoder_bench [MEGABYTES] [WORK_FOLDER]
// For -lh5- and -lh7- it alternates runs of jlha and of the encoder, twice each, and prints
// the better time of each with the sizes of the entries and the ratios.
#include "standins/codecs/lzh_encoder.h"
#include "standins/codecs/tests/lzh_support.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct Sample {
    const char* name;
    std::string (*make)(size_t, uint32_t);
    double share;
};

const Sample kSamples[] = {
    {"text.txt", lzh_test::EnglishText, 0.3},
    {"source.c", lzh_test::SourceCode, 0.3},
    {"packed.gz", lzh_test::CompressedLike, 0.2},
    {"random.bin", lzh_test::RandomBytes, 0.2},
};

bool WriteFile(const std::string& path, const std::string& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

bool ReadFile(const std::string& path, std::string& data) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char chunk[1 << 16];
    size_t got;
    data.clear();
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.append(chunk, got);
    std::fclose(f);
    return true;
}

double Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Packed size of each entry, from lhasa's listing.
std::map<std::string, uint64_t> ListPacked(const std::string& archive) {
    std::map<std::string, uint64_t> sizes;
    FILE* p = popen(("lhasa v " + archive).c_str(), "r");
    if (!p) return sizes;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        char perm[64], packedText[32], name[256];
        unsigned long long packed = 0, size = 0;
        // [generic]  PACKED  SIZE  RATIO  METHOD  CRC  Mon DD HH:MM  NAME
        if (std::sscanf(line, "%63s %31s", perm, packedText) != 2 || std::strcmp(perm, "[generic]") != 0)
            continue;
        char ratio[32], method[32], crc[32], mon[8], day[8], clock[16];
        if (std::sscanf(line, "%63s %llu %llu %31s %31s %31s %7s %7s %15s %255s", perm, &packed,
                        &size, ratio, method, crc, mon, day, clock, name) == 10)
            sizes[name] = packed;
    }
    pclose(p);
    return sizes;
}

// The encoder's run: each file read, encoded (stored when that would grow it) and written
// to a level-2 archive, as the stand-in's writer will do.
bool RunOurs(const std::string& dir, standin::LzhMethod method, const std::string& out,
             std::map<std::string, uint64_t>& sizes) {
    std::string archive;
    for (const Sample& s : kSamples) {
        std::string data;
        if (!ReadFile(dir + "/" + s.name, data)) return false;
        standin::MemorySource source(data.data(), data.size());
        standin::StringSink sink;
        standin::LzhResult r = standin::EncodeLzh(method, source, sink, data.size());
        if (r.status == standin::LzhStatus::OverLimit) {
            archive += lzh_test::LzhEntry(s.name, "-lh0-", data, data.size(), r.crc);
            sizes[s.name] = data.size();
        } else if (r.status == standin::LzhStatus::Ok) {
            archive += lzh_test::LzhEntry(s.name, standin::LzhMethodId(method), sink.bytes,
                                          data.size(), r.crc);
            sizes[s.name] = sink.bytes.size();
        } else {
            return false;
        }
    }
    return WriteFile(out, archive + '\0');
}

}  // namespace

int main(int argc, char** argv) {
    size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50;
    std::string dir = argc > 2 ? argv[2] : "/tmp/lzh_encoder_bench";
    if (std::system(("mkdir -p " + dir).c_str()) != 0) return 1;

    uint64_t total = 0;
    for (const Sample& s : kSamples) {
        std::string data = s.make(size_t(megabytes * s.share * 1048576), 2026);
        if (!WriteFile(dir + "/" + s.name, data)) return 1;
        std::printf("%-11s %10zu bytes\n", s.name, data.size());
        total += data.size();
    }
    std::printf("%-11s %10llu bytes\n\n", "all", static_cast<unsigned long long>(total));

    const standin::LzhMethod methods[] = {standin::LzhMethod::Lh5, standin::LzhMethod::Lh7};
    std::map<std::string, uint64_t> oursLh5;
    for (standin::LzhMethod method : methods) {
        const char* id = standin::LzhMethodId(method);
        std::string jlhaArchive = dir + "/jlha.lzh", ourArchive = dir + "/ours.lzh";
        std::string jlha = std::string("cd ") + dir + " && rm -f jlha.lzh && jlha aq2o" + id[3] +
                           " jlha.lzh text.txt source.c packed.gz random.bin";
        double jlhaBest = 1e9, oursBest = 1e9;
        std::map<std::string, uint64_t> ours;
        for (int round = 0; round < 2; ++round) {
            double start = Now();
            if (std::system(jlha.c_str()) != 0) return 1;
            jlhaBest = std::min(jlhaBest, Now() - start);
            start = Now();
            if (!RunOurs(dir, method, ourArchive, ours)) return 1;
            oursBest = std::min(oursBest, Now() - start);
        }
        if (std::system(("lhasa t " + ourArchive + " >/dev/null").c_str()) != 0) {
            std::printf("lhasa rejects the encoder's archive\n");
            return 1;
        }
        std::map<std::string, uint64_t> theirs = ListPacked(jlhaArchive);
        std::printf("%s        %12s %12s %7s\n", id, "jlha", "ours", "ours/jlha");
        uint64_t theirTotal = 0, ourTotal = 0;
        for (const Sample& s : kSamples) {
            theirTotal += theirs[s.name];
            ourTotal += ours[s.name];
            std::printf("  %-11s %12llu %12llu %7.4f\n", s.name,
                        static_cast<unsigned long long>(theirs[s.name]),
                        static_cast<unsigned long long>(ours[s.name]),
                        double(ours[s.name]) / double(theirs[s.name]));
        }
        std::printf("  %-11s %12llu %12llu %7.4f\n", "all", static_cast<unsigned long long>(theirTotal),
                    static_cast<unsigned long long>(ourTotal), double(ourTotal) / double(theirTotal));
        std::printf("  %-11s %11.2fs %11.2fs %7.2f\n\n", "time", jlhaBest, oursBest,
                    oursBest / jlhaBest);
        if (method == standin::LzhMethod::Lh5) {
            oursLh5 = ours;
        } else {
            uint64_t lh5 = 0;
            for (const auto& entry : oursLh5) lh5 += entry.second;
            std::printf("ours -lh7- / ours -lh5-: %.4f\n", double(ourTotal) / double(lh5));
        }
    }
    return 0;
}
