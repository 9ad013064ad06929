// ZIP archives: stored or deflated entries, names as raw system-code-page bytes (no UTF-8
// flag), optionally encrypted with the traditional PKWARE scheme.
#include <windows.h>

#include <zlib.h>

#include <chrono>
#include <random>

#include "standins/formats.h"

namespace standin {
namespace {

const uint32_t kLocalSignature = 0x04034b50;
const uint32_t kCentralSignature = 0x02014b50;
const uint32_t kEndSignature = 0x06054b50;
const uint16_t kFlagEncrypted = 0x0001;
const uint16_t kFlagDataDescriptor = 0x0008;
const uint16_t kStored = 0;
const uint16_t kDeflated = 8;
const size_t kEncryptionHeaderSize = 12;

// The traditional PKWARE stream cipher: three keys updated by every plain byte.
class ZipCipher {
public:
    explicit ZipCipher(const std::string& password) {
        for (char c : password) update(static_cast<unsigned char>(c));
    }
    unsigned char encrypt(unsigned char plain) {
        unsigned char cipher = plain ^ streamByte();
        update(plain);
        return cipher;
    }
    unsigned char decrypt(unsigned char cipher) {
        unsigned char plain = cipher ^ streamByte();
        update(plain);
        return plain;
    }

private:
    static uint32_t crcByte(uint32_t crc, unsigned char b) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        return crc;
    }
    unsigned char streamByte() const {
        uint16_t t = static_cast<uint16_t>(keys_[2] | 2);
        return static_cast<unsigned char>((t * (t ^ 1)) >> 8);
    }
    void update(unsigned char b) {
        keys_[0] = crcByte(keys_[0], b);
        keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
        keys_[2] = crcByte(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
    }
    uint32_t keys_[3] = {305419896u, 591751049u, 878082192u};
};

bool Inflate(const char* in, size_t inSize, size_t expectedSize, std::string& out) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
    out.resize(expectedSize);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
    z.avail_in = static_cast<uInt>(inSize);
    z.next_out = reinterpret_cast<Bytef*>(out.empty() ? nullptr : &out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&z, Z_FINISH);
    bool whole = rc == Z_STREAM_END && z.total_out == expectedSize;
    inflateEnd(&z);
    return whole;
}

std::mt19937 MakeRandom() {
    std::random_device device;
    auto now = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::seed_seq seed{device(), now, static_cast<uint32_t>(GetCurrentProcessId())};
    return std::mt19937(seed);
}

bool BuildZip(const std::string& archive, const std::vector<Item>& items, bool deflate,
              const std::string& password) {
    if (items.size() > 0xFFFF) return false;
    std::mt19937 random = MakeRandom();
    std::string body;
    std::string central;
    for (const Item& item : items) {
        std::string name = ReplaceSeparators(item.name, '\\', '/');
        if (item.isDir && (name.empty() || name.back() != '/')) name += '/';
        if (name.size() > 0xFFFF) return false;

        std::string plain;
        if (!item.isDir && !ReadWholeFile(item.sourcePath, plain)) return false;
        if (plain.size() > 0xFFFFFFF0u) return false;  // no ZIP64
        uint32_t crc = Crc32(plain, 0, plain.size());
        uint16_t method = kStored;
        std::string data = plain;
        std::string packed;
        if (deflate && !plain.empty() && Deflate(plain, false, packed) &&
            packed.size() < plain.size()) {
            method = kDeflated;
            data.swap(packed);
        }
        uint16_t flags = 0;
        if (!password.empty() && !item.isDir) {
            flags |= kFlagEncrypted;
            ZipCipher cipher(password);
            std::string sealed;
            sealed.reserve(kEncryptionHeaderSize + data.size());
            for (size_t i = 0; i + 1 < kEncryptionHeaderSize; ++i) {
                sealed.push_back(static_cast<char>(cipher.encrypt(random() & 0xFF)));
            }
            // The last header byte lets a reader check the password.
            sealed.push_back(static_cast<char>(cipher.encrypt(crc >> 24)));
            for (char c : data) {
                sealed.push_back(static_cast<char>(cipher.encrypt(static_cast<unsigned char>(c))));
            }
            data.swap(sealed);
        }
        if (body.size() > 0xFFFFFFFFu - data.size() - 30 - name.size()) return false;

        uint32_t offset = static_cast<uint32_t>(body.size());
        uint16_t needed = method == kDeflated || item.isDir ? 20 : 10;
        // From "version needed" to the extra field's length, both records hold the same.
        std::string shared;
        AppendLe16(shared, needed);
        AppendLe16(shared, flags);
        AppendLe16(shared, method);
        AppendLe32(shared, item.dosTime);
        AppendLe32(shared, crc);
        AppendLe32(shared, static_cast<uint32_t>(data.size()));
        AppendLe32(shared, static_cast<uint32_t>(plain.size()));
        AppendLe16(shared, static_cast<uint32_t>(name.size()));
        AppendLe16(shared, 0);  // extra
        AppendLe32(body, kLocalSignature);
        body += shared;
        body += name;
        body += data;

        AppendLe32(central, kCentralSignature);
        AppendLe16(central, 20);  // made by MS-DOS, version 2.0: names are code-page bytes
        central += shared;
        AppendLe16(central, 0);  // comment
        AppendLe16(central, 0);  // disk
        AppendLe16(central, 0);  // internal attributes
        AppendLe32(central, (item.attributes & 0xFF) | (item.isDir ? FILE_ATTRIBUTE_DIRECTORY : 0));
        AppendLe32(central, offset);
        central += name;
    }
    if (body.size() > 0xFFFFFFFFu - central.size()) return false;
    std::string zip = body + central;
    AppendLe32(zip, kEndSignature);
    AppendLe16(zip, 0);
    AppendLe16(zip, 0);
    AppendLe16(zip, static_cast<uint32_t>(items.size()));
    AppendLe16(zip, static_cast<uint32_t>(items.size()));
    AppendLe32(zip, static_cast<uint32_t>(central.size()));
    AppendLe32(zip, static_cast<uint32_t>(body.size()));
    AppendLe16(zip, 0);
    return WriteFileAtomically(archive, zip);
}

// Position of the end-of-central-directory record, searched backwards over a possible
// comment; npos when there is none.
size_t FindEnd(const std::string& zip) {
    if (zip.size() < 22) return std::string::npos;
    size_t lowest = zip.size() > 22 + 0xFFFF ? zip.size() - 22 - 0xFFFF : 0;
    for (size_t at = zip.size() - 22;; --at) {
        if (GetLe32(zip, at) == kEndSignature) return at;
        if (at == lowest) break;
    }
    return std::string::npos;
}

// Decrypts sealed (header included) into plain data; false when the password check fails.
bool Decrypt(const std::string& password, const char* sealed, size_t size, unsigned char check,
             std::string& out) {
    if (size < kEncryptionHeaderSize) return false;
    ZipCipher cipher(password);
    unsigned char last = 0;
    for (size_t i = 0; i < kEncryptionHeaderSize; ++i) {
        last = cipher.decrypt(static_cast<unsigned char>(sealed[i]));
    }
    if (last != check) return false;
    out.resize(size - kEncryptionHeaderSize);
    for (size_t i = kEncryptionHeaderSize; i < size; ++i) {
        out[i - kEncryptionHeaderSize] =
            static_cast<char>(cipher.decrypt(static_cast<unsigned char>(sealed[i])));
    }
    return true;
}

// Extracts one entry described by the central record at `at`. Entries that cannot be read
// whole and correct are skipped: nothing half-written reaches the disk.
void ExtractEntry(const std::string& zip, size_t at, const ExtractOptions& options,
                  const std::string& password) {
    uint32_t flags = GetLe16(zip, at + 8);
    uint32_t method = GetLe16(zip, at + 10);
    uint32_t dosTime = GetLe32(zip, at + 12);
    uint32_t crc = GetLe32(zip, at + 16);
    uint32_t packedSize = GetLe32(zip, at + 20);
    uint32_t size = GetLe32(zip, at + 24);
    uint32_t nameLength = GetLe16(zip, at + 28);
    uint32_t attributes = GetLe32(zip, at + 38);
    uint32_t local = GetLe32(zip, at + 42);
    std::string name = zip.substr(at + 46, nameLength);

    bool isDir = (!name.empty() && name.back() == '/') ||
                 ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && size == 0);
    if (isDir) {
        MakeEntryDir(options, name);
        return;
    }
    if (local > zip.size() || zip.size() - local < 30 || GetLe32(zip, local) != kLocalSignature) {
        return;
    }
    size_t dataAt = size_t{local} + 30 + GetLe16(zip, local + 26) + GetLe16(zip, local + 28);
    if (dataAt > zip.size() || zip.size() - dataAt < packedSize) return;
    const char* data = zip.data() + dataAt;
    size_t dataSize = packedSize;

    std::string decrypted;
    if (flags & kFlagEncrypted) {
        if (password.empty()) return;
        unsigned char check = (flags & kFlagDataDescriptor) ? (dosTime >> 8) & 0xFF : crc >> 24;
        if (!Decrypt(password, data, dataSize, check, decrypted)) return;
        data = decrypted.data();
        dataSize = decrypted.size();
    }
    std::string plain;
    if (method == kStored) {
        if (dataSize != size) return;
        plain.assign(data, dataSize);
    } else if (method == kDeflated) {
        if (!Inflate(data, dataSize, size, plain)) return;
    } else {
        return;
    }
    if (Crc32(plain, 0, plain.size()) != crc) return;
    WriteEntryFile(options, name, plain.data(), plain.size(), dosTime);
}

}  // namespace

std::string ArchivePassword() {
    char buffer[512];
    DWORD n = GetEnvironmentVariableA("ARCHIVER_PASSWORD", buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return std::string();
    return std::string(buffer, n);
}

bool WriteZip(const std::string& archive, const std::vector<Item>& items, bool deflate) {
    return BuildZip(archive, items, deflate, std::string());
}

bool WriteZipEncrypted(const std::string& archive, const std::vector<Item>& items, bool deflate,
                       const std::string& password) {
    if (password.empty()) return false;
    return BuildZip(archive, items, deflate, password);
}

bool ExtractZip(const std::string& archive, const ExtractOptions& options) {
    std::string zip;
    if (!ReadWholeFile(archive, zip)) return false;
    size_t end = FindEnd(zip);
    if (end == std::string::npos) return false;
    uint32_t count = GetLe16(zip, end + 10);
    uint32_t centralSize = GetLe32(zip, end + 12);
    uint32_t centralAt = GetLe32(zip, end + 16);
    if (centralAt > end || end - centralAt < centralSize) return false;

    std::string password = ArchivePassword();
    size_t at = centralAt;
    for (uint32_t i = 0; i < count; ++i) {
        if (end - at < 46 || GetLe32(zip, at) != kCentralSignature) return false;
        size_t recordSize =
            46 + GetLe16(zip, at + 28) + GetLe16(zip, at + 30) + GetLe16(zip, at + 32);
        if (end - at < recordSize) return false;
        ExtractEntry(zip, at, options, password);
        at += recordSize;
    }
    return true;
}

}  // namespace standin
