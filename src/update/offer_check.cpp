#include "update/offer_check.h"

#include "update/version_order.h"

namespace update {

namespace {

// Below 10^18, so it always fits and always prints back the same.
constexpr std::size_t kMaxSizeDigits = 18;
constexpr std::size_t kSha256HexDigits = 64;

// A decimal count as it is signed: digits only, no sign, no leading zero.
bool ParseSize(const std::string& text, std::int64_t& size) {
  if (text.empty() || text.size() > kMaxSizeDigits || (text.size() > 1 && text[0] == '0')) {
    return false;
  }
  size = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    size = size * 10 + (c - '0');
  }
  return true;
}

bool IsLowerHexSha256(const std::string& text) {
  if (text.size() != kSha256HexDigits) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// Whatever of size and hash the offer says, well formed; false when either is
// there but malformed.
bool ReadDigest(const UpdateOffer& offer, JarDigest& digest) {
  if (!offer.size.empty() && !ParseSize(offer.size, digest.size)) return false;
  if (!offer.sha256.empty()) {
    if (!IsLowerHexSha256(offer.sha256)) return false;
    digest.sha256 = offer.sha256;
  }
  return true;
}

OfferFault SignatureFault(SignatureVerdict verdict) {
  switch (verdict) {
    case SignatureVerdict::Valid:
      return OfferFault::None;
    case SignatureVerdict::Missing:
      return OfferFault::NoSignature;
    case SignatureVerdict::Malformed:
      return OfferFault::BadSignature;
    case SignatureVerdict::Mismatch:
      return OfferFault::WrongSignature;
    case SignatureVerdict::BadKey:
      break;
  }
  return OfferFault::BadKey;
}

}  // namespace

OfferCheck CheckOffer(const UpdateSettings& settings, const UpdateOffer& offer,
                      const std::optional<std::string>& installedVersion) {
  OfferCheck check;
  const bool malformed = !ReadDigest(offer, check.expected);
  switch (SigningKeysIn(settings)) {
    case SigningKeys::None:
      // As before keys existed: the server decides; what it says of the file
      // is still held against the file.
      if (malformed) check.fault = OfferFault::BadDigest;
      return check;
    case SigningKeys::Unusable:
      check.fault = OfferFault::BadKey;
      return check;
    case SigningKeys::Usable:
      break;
  }
  if (!ParseVersion(offer.remoteVersion)) {
    check.fault = OfferFault::BadVersion;
  } else if (offer.size.empty() || offer.sha256.empty()) {
    check.fault = OfferFault::NoDigest;
  } else if (malformed) {
    check.fault = OfferFault::BadDigest;
  } else {
    check.fault = SignatureFault(VerifyOfferSignature(
        settings, OfferSignedText(offer.remoteVersion, check.expected.size, check.expected.sha256),
        offer.signature));
  }
  // Only a signed version is compared: an unsigned claim says nothing.
  if (check.fault == OfferFault::None && installedVersion &&
      !IsLaterVersion(offer.remoteVersion, *installedVersion)) {
    check.fault = OfferFault::NotLater;
  }
  return check;
}

std::wstring DescribeOfferFault(OfferFault fault) {
  switch (fault) {
    case OfferFault::None:
      return L"更新信息有效";
    case OfferFault::BadVersion:
      return L"版本号格式不正确";
    case OfferFault::NoDigest:
      return L"缺少文件大小或SHA-256";
    case OfferFault::BadDigest:
      return L"文件大小或SHA-256格式不正确";
    case OfferFault::NoSignature:
      return L"更新服务器未提供签名";
    case OfferFault::BadSignature:
      return L"签名格式不正确";
    case OfferFault::WrongSignature:
      return L"签名与更新信息不符";
    case OfferFault::BadKey:
      return L"内置的签名公钥无效";
    case OfferFault::NotLater:
      return L"版本不高于本机已安装的版本";
  }
  return L"未知的校验结果";
}

}  // namespace update
