#include "mime/rfc822_text.h"

#include "talix_platform.h"

namespace talix {

namespace {

constexpr plat::WORD kDescriptorType = 675;
constexpr std::uint32_t kDescriptorFlags = 10;

std::uint32_t DescriptorLength() {
    static const std::uint32_t length = plat::StructHostLength(kDescriptorType) == sizeof(RFC822ItemDesc)
                                            ? plat::StructStoredLength(kDescriptorType)
                                            : 0;
    return length;
}

} // namespace

STATUS BuildRfc822Value(std::string_view native, std::string_view name, std::string_view delimiter,
                        std::string_view body, std::vector<std::uint8_t>* value) {
    const std::uint32_t stored = DescriptorLength();
    if (stored == 0) return kOperationFailed;
    for (std::string_view text : {native, name, delimiter, body}) {
        if (text.size() > 0xFFFF) return kArgumentError;
    }
    RFC822ItemDesc descriptor;
    descriptor.version = static_cast<std::uint16_t>(stored);
    descriptor.flags = kDescriptorFlags;
    descriptor.nativeLength = static_cast<std::uint16_t>(native.size());
    descriptor.nameLength = static_cast<std::uint16_t>(name.size());
    descriptor.delimiterLength = static_cast<std::uint16_t>(delimiter.size());
    descriptor.bodyLength = static_cast<std::uint16_t>(body.size());
    value->assign(stored, 0);
    void* at = value->data();
    const plat::STATUS status = plat::StructWrite(&at, kDescriptorType, &descriptor);
    if (status != plat::NOERROR) return status;
    for (std::string_view text : {native, name, delimiter, body}) value->insert(value->end(), text.begin(), text.end());
    return kOK;
}

bool Rfc822NativeValue(const std::uint8_t* data, std::size_t size, std::string_view* native) {
    const std::uint32_t stored = DescriptorLength();
    if (stored == 0 || data == nullptr || size < stored) return false;
    RFC822ItemDesc descriptor;
    const void* at = data;
    if (plat::StructRead(&at, kDescriptorType, &descriptor) != plat::NOERROR) return false;
    if (descriptor.nativeLength > size - stored) return false;
    *native = std::string_view(reinterpret_cast<const char*>(data + stored), descriptor.nativeLength);
    return true;
}

} // namespace talix
