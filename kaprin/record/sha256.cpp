#include "kaprin/record/download_log.h"

#include "kaprin/base/regular_file.h"

#include <openssl/evp.h>

#include <cerrno>
#include <memory>
#include <unistd.h>

namespace kaprin::record {

std::string Sha256OfFile(const std::string& path) {
    int fd = OpenRegularFile(path);
    if (fd < 0)
        return {};
    std::unique_ptr<int, void (*)(int*)> closer(&fd, [](int* f) { close(*f); });
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1)
        return {};
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {};
        if (n == 0)
            break;
        if (EVP_DigestUpdate(ctx.get(), buf, static_cast<std::size_t>(n)) != 1)
            return {};
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest, &size) != 1)
        return {};
    static const char* const kHex = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        text.push_back(kHex[digest[i] >> 4]);
        text.push_back(kHex[digest[i] & 0x0F]);
    }
    return text;
}

} // namespace kaprin::record
