#include "defaults/defaults.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <fmt/format.h>

#include "core/error.hpp"
#include "core/text.hpp"
#include "defaults/base64.hpp"
#include "defaults/embedded.hpp"
#include "defaults/gzip.hpp"

namespace vesk {

namespace {

// The whole file as UTF-8 text; the error text is the system's (or the UTF-8 complaint).
std::string read_source(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw SystemError(errno);
    std::string bytes;
    char buffer[8192];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            const int code = errno;
            ::close(fd);
            throw SystemError(code);
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    if (!is_valid_utf8(bytes)) throw Error("stream did not contain valid UTF-8");
    return bytes;
}

}  // namespace

std::string decode_embedded(const EmbeddedAsset& asset) {
    const std::string packed =
        with_context("내장 설정 asset base64 decode 실패", [&] { return decode_base64(asset.data); });
    return with_context("내장 설정 asset 압축 해제 실패", [&] {
        std::string text = gunzip(packed);
        if (!is_valid_utf8(text)) throw Error("stream did not contain valid UTF-8");
        return text;
    });
}

std::string Defaults::asset(std::string_view name) const {
    if (!embedded) {
        const std::filesystem::path path = root / std::filesystem::path(name);
        try {
            return read_source(path);
        } catch (const std::exception& e) {
            throw Error(fmt::format("설정 원본을 읽지 못했습니다 {}: {}", path.string(), e.what()));
        }
    }
    for (const EmbeddedAsset& asset : embedded_assets()) {
        if (asset.name == name) return decode_embedded(asset);
    }
    throw Error(fmt::format("이 vesk에는 {} 원본이 들어 있지 않습니다.", name));
}

}  // namespace vesk
