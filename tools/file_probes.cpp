#include "tools/file_probes.h"

#include <cstdint>
#include <cstdio>

#include "package/pack_format.h"

namespace {

uint32_t Read16(const std::string& bytes, size_t at) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
  return p[0] | (p[1] << 8);
}

uint32_t Read32(const std::string& bytes, size_t at) {
  return ReadLittleEndian32(reinterpret_cast<const unsigned char*>(bytes.data()) + at);
}

std::string Hex(uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "0x%x", value);
  return text;
}

const char* MachineName(uint32_t machine) {
  switch (machine) {
    case 0x8664:
      return " (x86-64)";
    case 0xaa64:
      return " (ARM64)";
    case 0x1c4:
      return " (ARM)";
  }
  return "";
}

// Offsets in the headers of a PE file: the DOS header's pointer to the PE signature, then
// the file header and the optional header that follow the signature.
constexpr size_t kPeOffsetAt = 0x3c;
constexpr size_t kMachine = 4;
constexpr size_t kOptionalSize = 20;
constexpr size_t kCharacteristics = 22;
constexpr size_t kOptionalMagic = 24;
constexpr uint32_t kMachineI386 = 0x14c;
constexpr uint32_t kPe32Magic = 0x10b;
constexpr uint32_t kExecutableImage = 0x0002;
constexpr uint32_t kDll = 0x2000;

}  // namespace

std::string WhyNotI686Program(const std::string& bytes) {
  if (bytes.size() < kPeOffsetAt + 4 || bytes[0] != 'M' || bytes[1] != 'Z')
    return "is not a Windows program (no MZ header)";
  uint64_t pe = Read32(bytes, kPeOffsetAt);
  if (pe + kOptionalMagic + 2 > bytes.size())
    return "is not a Windows program (its PE header lies past its end)";
  if (bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
    return "is not a Windows program (no PE signature; an MS-DOS program?)";
  uint32_t machine = Read16(bytes, pe + kMachine);
  if (machine != kMachineI386)
    return "is built for machine " + Hex(machine) + MachineName(machine) + ", not i686";
  uint32_t characteristics = Read16(bytes, pe + kCharacteristics);
  if (characteristics & kDll)
    return "is a DLL, not a program";
  if (!(characteristics & kExecutableImage))
    return "is not marked as an executable image";
  uint32_t magic = Read16(bytes, pe + kOptionalMagic);
  if (Read16(bytes, pe + kOptionalSize) < 2 || magic != kPe32Magic)
    return "has no PE32 optional header (magic " + Hex(magic) + ")";
  return std::string();
}

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kPixelOffsetAt = 10;
constexpr size_t kCoreHeaderSize = 12;  // BITMAPCOREHEADER; every later header is longer
constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;

BitmapProbe Refused(const std::string& why) {
  BitmapProbe probe;
  probe.whyNot = why;
  return probe;
}

bool KnownHeaderSize(uint32_t size) {
  // BITMAPCOREHEADER, BITMAPINFOHEADER, its two extensions with masks, V4 and V5.
  return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

bool BitCountFits(uint32_t bits, uint32_t compression) {
  switch (compression) {
    case kRgb:
      return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case kRle8:
      return bits == 8;
    case kRle4:
      return bits == 4;
    case kBitFields:
      return bits == 16 || bits == 32;
  }
  return false;
}

}  // namespace

BitmapProbe ProbeBitmap(const std::string& bytes) {
  if (bytes.size() < kFileHeaderSize + kCoreHeaderSize || bytes[0] != 'B' || bytes[1] != 'M')
    return Refused("is not a BMP file (no BM signature)");
  uint32_t infoSize = Read32(bytes, kFileHeaderSize);
  if (!KnownHeaderSize(infoSize))
    return Refused("has a bitmap header of " + std::to_string(infoSize) +
                   " bytes, which Windows does not know");
  if (kFileHeaderSize + infoSize > bytes.size())
    return Refused("ends inside its bitmap header");
  const size_t info = kFileHeaderSize;
  int64_t width, height;
  uint32_t planes, bits, compression = kRgb, imageSize = 0;
  if (infoSize == kCoreHeaderSize) {
    width = Read16(bytes, info + 4);
    height = Read16(bytes, info + 6);
    planes = Read16(bytes, info + 8);
    bits = Read16(bytes, info + 10);
  } else {
    width = static_cast<int32_t>(Read32(bytes, info + 4));
    height = static_cast<int32_t>(Read32(bytes, info + 8));
    planes = Read16(bytes, info + 12);
    bits = Read16(bytes, info + 14);
    compression = Read32(bytes, info + 16);
    imageSize = Read32(bytes, info + 20);
  }
  if (height < 0)
    height = -height;  // stored top row first
  if (planes != 1)
    return Refused("has " + std::to_string(planes) + " colour planes instead of 1");
  if (!BitCountFits(bits, compression))
    return Refused("has " + std::to_string(bits) + " bits per pixel with compression " +
                   std::to_string(compression) + ", which Windows does not load from a file");
  if (width <= 0 || height == 0)
    return Refused("has no pixels");
  uint64_t pixels = Read32(bytes, kPixelOffsetAt);
  if (pixels < kFileHeaderSize + infoSize || pixels > bytes.size())
    return Refused("has its pixels at offset " + std::to_string(pixels) +
                   ", outside the file's room for them");
  uint64_t room = bytes.size() - pixels;
  if (compression == kRle4 || compression == kRle8) {
    if (imageSize == 0 || imageSize > room)
      return Refused("is cut short: its compressed pixels do not fit in the file");
  } else {
    // Each row is padded to four bytes.
    uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    if (room / stride < static_cast<uint64_t>(height))
      return Refused("is cut short: " + std::to_string(width) + " x " + std::to_string(height) +
                     " pixels need " + std::to_string(stride) + " bytes a row");
  }
  BitmapProbe probe;
  probe.width = static_cast<long>(width);
  probe.height = static_cast<long>(height);
  return probe;
}

namespace {

constexpr size_t kOptionalHeader = 24;  // from the PE signature
constexpr uint32_t kPe32PlusMagic = 0x20b;
// Where NumberOfRvaAndSizes lies in the optional header; the directories follow it.
constexpr size_t kDirectoryCountPe32 = 92;
constexpr size_t kDirectoryCountPe32Plus = 108;
constexpr uint32_t kSecurityDirectory = 4;
constexpr size_t kDirectorySize = 8;
constexpr uint32_t kCertificateHeaderSize = 8;  // dwLength, wRevision, wCertificateType
constexpr uint32_t kCertificateRevision2 = 0x200;
constexpr uint32_t kPkcsSignedData = 2;

SignatureProbe Damaged(const std::string& why) {
  SignatureProbe probe;
  probe.whyNot = why;
  return probe;
}

}  // namespace

SignatureProbe ProbeSignature(const std::string& bytes) {
  // What is no PE file at all carries no signature; other checks say what else is wrong.
  if (bytes.size() < kPeOffsetAt + 4 || bytes[0] != 'M' || bytes[1] != 'Z')
    return SignatureProbe();
  uint64_t pe = Read32(bytes, kPeOffsetAt);
  if (pe + kOptionalHeader + 2 > bytes.size() || bytes.compare(pe, 4, std::string("PE\0\0", 4)))
    return SignatureProbe();
  uint64_t optional = pe + kOptionalHeader;
  uint64_t optionalSize = Read16(bytes, pe + kOptionalSize);
  uint32_t magic = Read16(bytes, optional);
  size_t countAt = magic == kPe32Magic       ? kDirectoryCountPe32
                   : magic == kPe32PlusMagic ? kDirectoryCountPe32Plus
                                             : 0;
  if (countAt == 0)
    return SignatureProbe();
  uint64_t entry = countAt + 4 + kSecurityDirectory * kDirectorySize;
  // Fewer directories, or a header too short to hold the entry: no signature can be found. The
  // header's own sizes are checked against the file before anything past them is read.
  if (optionalSize < countAt + 4)
    return SignatureProbe();
  if (optional + countAt + 4 > bytes.size())
    return Damaged("is cut short inside its PE header");
  if (Read32(bytes, optional + countAt) <= kSecurityDirectory ||
      optionalSize < entry + kDirectorySize)
    return SignatureProbe();
  if (optional + entry + kDirectorySize > bytes.size())
    return Damaged("is cut short inside its PE header");
  uint64_t offset = Read32(bytes, optional + entry);
  uint64_t size = Read32(bytes, optional + entry + 4);
  if (offset == 0 && size == 0)
    return SignatureProbe();
  if (offset + size > bytes.size() || size < kCertificateHeaderSize)
    return Damaged("has a certificate table of " + std::to_string(size) + " bytes at offset " +
                   std::to_string(offset) + ", past its end of " + std::to_string(bytes.size()) +
                   " bytes (cut short after signing?)");
  uint32_t length = Read32(bytes, offset);
  if (length < kCertificateHeaderSize || length > size ||
      Read16(bytes, offset + 4) != kCertificateRevision2 ||
      Read16(bytes, offset + 6) != kPkcsSignedData)
    return Damaged("has a certificate table that holds no Authenticode signature");
  SignatureProbe probe;
  probe.isSigned = true;
  probe.tableOffset = offset;
  return probe;
}
