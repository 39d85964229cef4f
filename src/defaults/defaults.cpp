#include "defaults/defaults.hpp"

#include <fmt/format.h>

#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"
#include "defaults/base64.hpp"
#include "defaults/embedded.hpp"
#include "defaults/gzip.hpp"

namespace vesk {

namespace {

// The whole file as UTF-8 text; the error text is the system's (or the UTF-8 complaint), without
// the path, which the caller's message names.
std::string read_source(const std::filesystem::path& path) {
    std::string bytes;
    try {
        bytes = read_file(path);
    } catch (const SystemError& e) {
        throw SystemError(e.code);
    }
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
