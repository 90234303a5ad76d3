// Reading (inflating every entry into memory) and writing (an archive made from a folder) of a
// 50 MB archive of mixed files, side by side with minizip and libzip. Every writer uses level 9,
// the level this component writes at, so zlib sets the same floor for each.
#include <benchmark/benchmark.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/Ratio.h"
#include "kit/codec/zip/ZBDataArchive.h"
#include "kit/codec/zip/ZBFileArchive.h"

namespace {

namespace fs = std::filesystem;

struct Corpus {
  fs::path root;     // holds "data/" (the folder) and the archives
  fs::path folder;   // root / "data"
  fs::path archive;  // the archive every reader reads
  std::uint64_t bytes = 0;
  std::vector<fs::path> items;  // folder and files below "data", depth first, sorted
};

void writeBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string text(std::size_t n, std::uint32_t seed) {
  static const char* words[] = {"job",   "search",   "resume",   "company", "salary", "city",
                                "apply", "position", "engineer", "manager", "the",    "of",
                                "and",   "for",      "with",     "<item>",  "</item>"};
  std::string s;
  s.reserve(n + 32);
  std::uint32_t x = seed;
  while (s.size() < n) {
    x = x * 1664525u + 1013904223u;
    s += words[(x >> 16) % 17];
    s += (x & 7) == 0 ? '\n' : ' ';
    if ((x & 63) == 1) s += std::to_string(x >> 8);
  }
  s.resize(n);
  return s;
}

std::string noise(std::size_t n, std::uint64_t seed) {
  std::string s(n, '\0');
  std::uint64_t x = seed | 1;
  for (char& c : s) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    c = static_cast<char>(x);
  }
  return s;
}

void collect(const fs::path& folder, std::vector<fs::path>& items) {
  std::vector<fs::path> children;
  for (const auto& e : fs::directory_iterator(folder)) children.push_back(e.path());
  std::sort(children.begin(), children.end());
  for (const fs::path& c : children) {
    items.push_back(c);
    if (fs::is_directory(fs::symlink_status(c))) collect(c, items);
  }
}

// 50 MB: text of several sizes, incompressible bytes (images), repetitive logs and many small files.
Corpus& corpus() {
  static Corpus* c = [] {
    auto* corpus = new Corpus;
    char tmpl[] = "/tmp/kavro-zip-bench-XXXXXX";
    corpus->root = mkdtemp(tmpl);
    corpus->folder = corpus->root / "data";
    std::uint32_t seed = 1;
    for (int i = 0; i < 16; ++i)
      writeBytes(corpus->folder / "text" / ("t" + std::to_string(i) + ".xml"), text(1 << 20, seed++));
    for (int i = 0; i < 12; ++i)
      writeBytes(corpus->folder / "images" / ("i" + std::to_string(i) + ".png"), noise(1 << 20, seed++));
    for (int i = 0; i < 4; ++i) {
      std::string log;
      while (log.size() < (4u << 20))
        log += "2024-01-01 12:00:0" + std::to_string(log.size() % 10) + " INFO request served\n";
      log.resize(4u << 20);
      writeBytes(corpus->folder / "logs" / ("l" + std::to_string(i) + ".log"), log);
    }
    for (int i = 0; i < 240; ++i)
      writeBytes(corpus->folder / "small" / std::to_string(i / 40) / ("s" + std::to_string(i) + ".txt"),
                 i % 3 == 0 ? noise(8192 + i * 37, seed++) : text(16384 + i * 53, seed++));
    collect(corpus->folder, corpus->items);
    corpus->items.insert(corpus->items.begin(), corpus->folder);
    for (const fs::path& p : corpus->items)
      if (fs::is_regular_file(fs::symlink_status(p))) corpus->bytes += fs::file_size(p);
    corpus->archive = corpus->root / "read.zip";
    auto archive = kavro::ZBFileArchive::archiveWithArchivePath(corpus->archive.string());
    if (archive->deflateDirectory(corpus->folder.string(), corpus->root.string()) != 1) std::abort();
    return corpus;
  }();
  return *c;
}

std::string entryName(const fs::path& p) {
  std::string name = fs::relative(p, corpus().root).string();
  return fs::is_directory(fs::symlink_status(p)) ? name + "/" : name;
}

// Reading

void BM_Read_Ours(benchmark::State& state) {
  Corpus& c = corpus();
  for (auto _ : state) {
    auto archive = kavro::ZBDataArchive::archiveWithArchivePath(c.archive.string());
    std::uint64_t total = 0;
    for (const std::string& name : archive->files_name_list()) {
      if (!archive->is_file(name)) continue;
      std::optional<platform::Data> bytes = archive->file_get_contents(name);
      if (!bytes) state.SkipWithError("entry did not read");
      total += bytes ? bytes->size() : 0;
    }
    if (total != c.bytes) state.SkipWithError("wrong total");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.bytes));
}

void BM_Read_Minizip(benchmark::State& state) {
  Corpus& c = corpus();
  std::vector<char> buffer;
  for (auto _ : state) {
    unzFile zf = unzOpen64(c.archive.c_str());
    std::uint64_t total = 0;
    for (int rc = unzGoToFirstFile(zf); rc == UNZ_OK; rc = unzGoToNextFile(zf)) {
      unz_file_info64 info;
      char name[1024];
      unzGetCurrentFileInfo64(zf, &info, name, sizeof name, nullptr, 0, nullptr, 0);
      if (name[0] && name[std::strlen(name) - 1] == '/') continue;
      buffer.resize(info.uncompressed_size + 1);
      unzOpenCurrentFile(zf);
      int n = unzReadCurrentFile(zf, buffer.data(), static_cast<unsigned>(buffer.size()));
      if (unzCloseCurrentFile(zf) != UNZ_OK || n < 0) state.SkipWithError("entry did not read");
      total += static_cast<std::uint64_t>(n);
    }
    unzClose(zf);
    if (total != c.bytes) state.SkipWithError("wrong total");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.bytes));
}

void BM_Read_Libzip(benchmark::State& state) {
  Corpus& c = corpus();
  std::vector<char> buffer;
  for (auto _ : state) {
    int error = 0;
    zip_t* za = zip_open(c.archive.c_str(), ZIP_RDONLY, &error);
    std::uint64_t total = 0;
    zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
      zip_stat_t st;
      zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st);
      std::string name = st.name;
      if (!name.empty() && name.back() == '/') continue;
      buffer.resize(st.size);
      zip_file_t* f = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0);
      zip_int64_t got = zip_fread(f, buffer.data(), st.size);
      if (zip_fclose(f) != 0 || got < 0) state.SkipWithError("entry did not read");
      total += static_cast<std::uint64_t>(got);
    }
    zip_discard(za);
    if (total != c.bytes) state.SkipWithError("wrong total");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.bytes));
}

// Writing

void BM_Write_Ours(benchmark::State& state) {
  Corpus& c = corpus();
  std::string out = (c.root / "ours.zip").string();
  for (auto _ : state) {
    fs::remove(out);
    auto archive = kavro::ZBFileArchive::archiveWithArchivePath(out);
    if (archive->deflateDirectory(c.folder.string(), c.root.string()) != 1)
      state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.bytes));
}

void BM_Write_Minizip(benchmark::State& state) {
  Corpus& c = corpus();
  std::string out = (c.root / "minizip.zip").string();
  std::vector<char> buffer(262144);
  for (auto _ : state) {
    zipFile zf = zipOpen64(out.c_str(), APPEND_STATUS_CREATE);
    for (const fs::path& p : c.items) {
      std::string name = entryName(p);
      zip_fileinfo info{};
      bool folder = name.back() == '/';
      zipOpenNewFileInZip3_64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                              folder ? 0 : Z_DEFLATED, folder ? 0 : 9, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY,
                              nullptr, 0, 0);
      if (!folder) {
        std::FILE* in = std::fopen(p.c_str(), "rb");
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
          zipWriteInFileInZip(zf, buffer.data(), static_cast<unsigned>(n));
        std::fclose(in);
      }
      zipCloseFileInZip(zf);
    }
    if (zipClose(zf, nullptr) != ZIP_OK) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.bytes));
}

void BM_Write_Libzip(benchmark::State& state) {
  Corpus& c = corpus();
  std::string out = (c.root / "libzip.zip").string();
  for (auto _ : state) {
    int error = 0;
    zip_t* za = zip_open(out.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const fs::path& p : c.items) {
      std::string name = entryName(p);
      if (name.back() == '/') {
        zip_dir_add(za, name.c_str(), ZIP_FL_ENC_UTF_8);
        continue;
      }
      zip_source_t* source = zip_source_file(za, p.c_str(), 0, -1);
      zip_int64_t index = zip_file_add(za, name.c_str(), source, ZIP_FL_ENC_UTF_8);
      zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9);
    }
    if (zip_close(za) != 0) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.bytes));
}

BENCHMARK(BM_Read_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_Read_Minizip)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_Read_Libzip)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_Write_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Write_Minizip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Write_Libzip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// MB/s side by side and the ratios, from the best repetitions.
void printRatios(const kavro::bench::BestOfReporter& reporter) {
  auto mbps = [&](const std::string& name) { return reporter.counter(name, "bytes_per_second") / 1e6; };
  std::printf("\nzip, %.1f MB of mixed files (MB/s, higher is better)\n", corpus().bytes / 1e6);
  for (const char* kind : {"Read", "Write"}) {
    const double ours = mbps(std::string("BM_") + kind + "_Ours");
    const double minizip = mbps(std::string("BM_") + kind + "_Minizip");
    const double libzip = mbps(std::string("BM_") + kind + "_Libzip");
    std::printf("%-6s ours %8.1f  minizip %8.1f  libzip %8.1f   ours/minizip %.2f  ours/libzip %.2f\n", kind,
                ours, minizip, libzip, minizip > 0 ? ours / minizip : 0, libzip > 0 ? ours / libzip : 0);
    for (auto [peer, rate] : {std::pair{"minizip", minizip}, std::pair{"libzip", libzip}}) {
      if (ours > 0 && rate > 0)
        kavro::bench::reportRatio(std::string("zip ") + kind + " 50 MB", kavro::bench::figure(ours, "MB/s"),
                                  std::string(peer) + " " + kavro::bench::figure(rate, "MB/s"), ours / rate,
                                  0.8);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  corpus();
  kavro::bench::BestOfReporter reporter;
  kavro::bench::runBestOf(argc, argv, reporter, 1);
  printRatios(reporter);
  std::error_code ec;
  fs::remove_all(corpus().root, ec);
  return 0;
}
