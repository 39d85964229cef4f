#include "core/folder_walk.hpp"

#include <sys/statfs.h>

namespace vesk {

namespace {

bool generated_type(const struct statfs& st) {
    switch (static_cast<unsigned long>(st.f_type)) {
        case 0x9fa0UL:      // proc
        case 0x62656572UL:  // sysfs
        case 0x64626720UL:  // debugfs
        case 0x74726163UL:  // tracefs
        case 0x27e0ebUL:    // cgroup
        case 0x63677270UL:  // cgroup2
        case 0x73636673UL:  // securityfs
        case 0xcafe4a11UL:  // bpf
            return true;
        default:
            return false;
    }
}

}  // namespace

bool generated_filesystem(int dir_fd) {
    struct statfs st;
    return ::fstatfs(dir_fd, &st) == 0 && generated_type(st);
}

bool generated_filesystem(const std::filesystem::path& dir) {
    struct statfs st;
    return ::statfs(dir.c_str(), &st) == 0 && generated_type(st);
}

}  // namespace vesk
