#include "setup/messages.hpp"

#include <fmt/format.h>

#include "core/text.hpp"

namespace vesk {

std::string move_aside_failed(const std::filesystem::path& from, const std::filesystem::path& to) {
    return fmt::format("{} 파일을 {}로 이동하지 못했습니다.", path_text(from), path_text(to));
}

std::string symlink_failed(const std::filesystem::path& link, const std::filesystem::path& target) {
    return fmt::format("{} -> {} symlink를 생성하지 못했습니다.", path_text(link), path_text(target));
}

std::string copy_failed(const std::filesystem::path& from, const std::filesystem::path& to) {
    return fmt::format("{} 파일을 {}로 복사하지 못했습니다.", path_text(from), path_text(to));
}

}  // namespace vesk
