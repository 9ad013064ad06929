// ZIP archives written: stored or deflated entries, names as raw system-code-page bytes (no
// UTF-8 flag), optionally encrypted with the traditional PKWARE scheme.
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

}  // namespace standin
