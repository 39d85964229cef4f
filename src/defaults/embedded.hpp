// The configuration sources compiled into the program (the build generates the table from dist/).
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vesk {

struct EmbeddedAsset {
    std::string_view name;  // path relative to the installation root
    std::string_view data;  // standard base64 of one gzip member holding the UTF-8 text
};

// The eleven sources, in the order .tmux.conf, .tmux.conf.local, then the fragments.
std::span<const EmbeddedAsset> embedded_assets();

// The text of one record, decoded anew: base64, then the gzip member, checked to be UTF-8.
// Failures carry the context "내장 설정 asset base64 decode 실패" or "내장 설정 asset 압축 해제 실패".
std::string decode_embedded(const EmbeddedAsset& asset);

}  // namespace vesk
