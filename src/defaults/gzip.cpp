#include "defaults/gzip.hpp"

#include <zlib.h>

#include <fmt/format.h>

#include "core/error.hpp"

namespace vesk {

namespace {

struct Inflater {
    z_stream stream{};
    Inflater() {
        // 16 + MAX_WBITS: a gzip header and trailer around the deflate data, nothing else.
        if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) throw Error("zlib을 시작하지 못했습니다");
    }
    ~Inflater() { inflateEnd(&stream); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
};

}  // namespace

std::string gunzip(std::string_view bytes) {
    Inflater inflater;
    z_stream& zs = inflater.stream;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    zs.avail_in = static_cast<uInt>(bytes.size());

    std::string out;
    char buffer[16384];
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        zs.next_out = reinterpret_cast<Bytef*>(buffer);
        zs.avail_out = sizeof buffer;
        rc = inflate(&zs, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - zs.avail_out);
        if (rc == Z_STREAM_END) break;
        if (rc == Z_BUF_ERROR && zs.avail_in == 0) throw Error("gzip 데이터가 중간에 끝났습니다");
        if (rc != Z_OK) {
            throw Error(fmt::format("gzip 데이터가 깨졌습니다: {}", zs.msg ? zs.msg : "unknown error"));
        }
    }
    if (zs.avail_in != 0) throw Error("gzip 데이터 뒤에 남는 바이트가 있습니다");
    return out;
}

}  // namespace vesk
