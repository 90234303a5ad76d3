// Feeds arbitrary bytes to the in-memory archive and the record parsers: nothing may crash, read
// out of bounds or allocate without limit, and an entry added to whatever opened must read back.
#include <cstddef>
#include <cstdint>

#include "kit/codec/zip/ZBAppleDouble.h"
#include "kit/codec/zip/ZBCDHeader.h"
#include "kit/codec/zip/ZBCDTrailer.h"
#include "kit/codec/zip/ZBDataArchive.h"
#include "kit/codec/zip/ZBLFHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  using namespace kavro;
  platform::Data data(bytes, bytes + size);
  ZBLFHeader::recordWithData(data, 0);
  ZBCDHeader::recordWithData(data, 0);
  ZBCDTrailer::recordWithData(zb::Bytes(data));
  ZBAppleDouble::appleDoubleWithData(data);

  std::shared_ptr<ZBDataArchive> archive = ZBDataArchive::archiveWithArchiveData(data);
  if (!archive) return 0;
  for (const std::string& name : archive->files_name_list()) {
    archive->is_dir(name);
    archive->is_link(name);
    archive->file_get_contents(name);
  }
  for (const ZBCDHeader& header : archive->centralDirectory()) {
    header.data();
    header.description();
  }
  archive->inflateAll();

  const platform::Data added = {'z', 'i', 'p', 0, 0xFF};
  if (archive->deflateData(added, "fuzz/added") != 1) return 0;
  std::shared_ptr<ZBDataArchive> again = ZBDataArchive::archiveWithArchiveData(archive->data());
  if (!again || again->centralDirectory().empty()) __builtin_trap();
  std::optional<platform::Data> back = again->inflateFile(again->centralDirectory().back(), nullptr);
  if (!back || *back != added) __builtin_trap();
  return 0;
}
