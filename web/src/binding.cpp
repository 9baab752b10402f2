// The page's way into the core: files handed over as bytes, the pictures they hold planned as the
// converter plans them, one picture decoded, one written in any of the converter's types.
//
// Every call answers through one reply buffer (qv_reply_data / qv_reply_size): a JSON text for
// plans and results, the file's bytes for a written picture. Files live in memory and the core
// reads them through the in-memory game-file reader, at the paths the page gives them
// ("/in/<folder>/<name>"), so that a sprite archive finds "ending.bin" beside it.
#include <emscripten/emscripten.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/messages.h"
#include "common/dib_image.h"
#include "common/errors.h"
#include "common/path_text.h"
#include "decode/archive.h"
#include "decode/archive_tables.h"
#include "decode/archive_titles.h"
#include "decode/format.h"
#include "export/gif.h"
#include "export/picture_file.h"
#include "export/png.h"
#include "fuzz/memory_files.h"
#include "shell/caption.h"
#include "shell/save_name.h"
#include "web/src/json_text.h"

namespace {

using qelva::web::JsonString;

using qelva::cli::kMsgAlreadyWritten;
using qelva::cli::kMsgFullColourGif;
using qelva::cli::kMsgNotAPicture;

// Where written pictures are put for a moment before their bytes are taken.
constexpr const char* kWrittenFile = "/qelva-written";

constexpr qelva::PathSyntax kSyntax{qelva::PathSeparators::kPosix, qelva::PathCodePage::kUtf8};

struct FreeBytes {
  void operator()(uint8_t* p) const { std::free(p); }
};

// A file's bytes as the page wrote them into memory from qv_alloc, kept without a copy.
struct HeldFile {
  std::unique_ptr<uint8_t, FreeBytes> bytes;
  size_t size = 0;
};

// A picture as it was decoded for the page, with the path the decoder showed for it.
struct KeptPicture {
  qelva::DibImage image;
  std::string shownPath;
};

// The most bytes (tables and pixels) of decoded pictures kept at once.
constexpr uint64_t kKeptPictureBytes = uint64_t{32} << 20;

struct Session {
  // The files handed over, owned here; memory_files points into them.
  std::map<std::string, HeldFile> files;
  // Pictures decoded for the page (the grid's thumbnails, the big view), kept so that writing
  // one does not decode it again: the first decoded, up to kKeptPictureBytes in all. Keyed by
  // path and entry as the page names them.
  std::map<std::pair<std::string, int32_t>, KeptPicture> pictures;
  uint64_t pictureBytes = 0;
  // Output names of the "Download all" run in progress.
  std::set<std::string> claimed;
  std::vector<uint8_t> reply;
};

Session& TheSession() {
  static Session session;
  return session;
}

// Forgets the decoded pictures of the file at path; those of every file when it is a sprite
// archive's palette file, which the archives' pictures were decoded with.
void ForgetPictures(const std::string& path) {
  Session& session = TheSession();
  if (qelva::FileNamePart(path, kSyntax) == qelva::kSpritePaletteFile) {
    session.pictures.clear();
    session.pictureBytes = 0;
    return;
  }
  auto it = session.pictures.lower_bound({path, INT32_MIN});
  while (it != session.pictures.end() && it->first.first == path) {
    session.pictureBytes -= it->second.image.info.size() + it->second.image.bits.size();
    it = session.pictures.erase(it);
  }
}

// Keeps a picture just decoded, when there is room for it.
void KeepPicture(const std::string& path, int32_t entry, qelva::DibImage& image, const std::string& shownPath) {
  Session& session = TheSession();
  const uint64_t bytes = image.info.size() + image.bits.size();
  if (session.pictureBytes + bytes > kKeptPictureBytes || session.pictures.count({path, entry})) return;
  try {
    // The place is made first: should that fail, the image is still the caller's.
    KeptPicture& kept = session.pictures[{path, entry}];
    kept.shownPath = shownPath;
    kept.image = std::move(image);
    session.pictureBytes += bytes;
  } catch (const std::bad_alloc&) {
    session.pictures.erase({path, entry});  // not kept: it is decoded again when it is needed
  }
}

const KeptPicture* FindKept(const std::string& path, int32_t entry) {
  const auto& pictures = TheSession().pictures;
  const auto it = pictures.find({path, entry});
  return it == pictures.end() ? nullptr : &it->second;
}

void ReplyText(const std::string& text) {
  TheSession().reply.assign(text.begin(), text.end());
}

std::string MessageOf(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) return qelva::OutOfMemoryError().what();
  return e.what();
}

// The decoder's questions answered as the converter answers them: the entry asked for, the
// message kept to be reported.
class PageHost final : public qelva::PictureHost {
 public:
  explicit PageHost(int32_t entry) : entry_(entry) {}
  void ShowMessage(std::string_view text) override { message = std::string(text); }
  void SetBusy(bool) override {}
  bool ChooseArchiveEntries(const qelva::ArchiveId&, const std::string&, int32_t& entry) override {
    entry = entry_;
    return true;
  }
  qelva::PathSyntax Paths() const override { return kSyntax; }

  std::string message;

 private:
  int32_t entry_;
};

// Decodes a file (entry -1) or an archive entry. Returns false with the reason in `message`
// (empty: the file is no picture and the converter would pass it over in a folder).
bool Decode(const std::string& path, int32_t entry, qelva::DibImage& image, std::string& shownPath,
            std::string& message) {
  PageHost host(entry < 0 ? 0 : entry);
  shownPath = path;
  int32_t entryIndex = entry < 0 ? 0 : entry;
  try {
    if (qelva::LoadGamePicture(host, shownPath, entryIndex, image)) return true;
    message = host.message;
  } catch (const std::exception& e) {
    message = MessageOf(e);
  }
  return false;
}

std::string TitleOf(const qelva::ArchiveId& archive, int entry) {
  const auto titles = qelva::TitleList(archive);
  if (entry < 0 || static_cast<size_t>(entry) >= titles.size()) return {};
  return std::string(titles[static_cast<size_t>(entry)]);
}

// Takes the bytes of the file just written, and the file away.
void ReadWrittenFile(std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (FILE* in = std::fopen(kWrittenFile, "rb")) {
    uint8_t block[65536];
    for (size_t got; (got = std::fread(block, 1, sizeof block, in)) > 0;) {
      bytes.insert(bytes.end(), block, block + got);
    }
    std::fclose(in);
  }
  std::remove(kWrittenFile);
}

// The file of the type for the picture, as the converter writes it, into `bytes`. GIF and PNG
// files are made in memory by the writers the converter's file writers wrap; the bitmap types
// go through a file of the in-memory file system. Returns false for a GIF type and a picture of
// more than 8 bits per pixel; the writers' failures are raised as they are.
bool WrittenFile(qelva::PictureFileType type, const qelva::DibImage& image, std::vector<uint8_t>& bytes) {
  if (const auto gif = qelva::GifArgumentsOf(type)) {
    // The checks the GIF file writer makes before it encodes, in its order.
    if (image.info.size() < qelva::kDibHeaderSize) throw qelva::PictureError::BlocksTooShort();
    if (image.BitCount() > 8) return false;
    bytes = qelva::GifFileBytes(image, gif->interlaced, gif->transparentIndex);
    return true;
  }
  if (qelva::IsPngType(type)) {
    bytes = qelva::PngFileBytes(image, type == qelva::PictureFileType::kPngTransparent);
    return true;
  }
  qelva::DibImage copy = image;  // the file writer takes the image to work in
  if (!qelva::WritePictureFile(kWrittenFile, type, copy)) return false;
  ReadWrittenFile(bytes);
  return true;
}

std::string ErrorReply(const std::string& message) {
  return "{\"ok\":false,\"message\":" + JsonString(message) + "}";
}

// A write's failure as qv_write replies it: a NUL, then the JSON error.
void ReplyWriteFailure(const std::string& message) {
  std::vector<uint8_t>& reply = TheSession().reply;
  reply.assign(1, 0);
  const std::string text = ErrorReply(message);
  reply.insert(reply.end(), text.begin(), text.end());
}

// Replies with the file of the type for the image, or with the failure. Every picture written
// goes through here, the warm-up's too, and it is kept out of its callers so that the warm-up
// readies the very code a "Download all" runs.
[[gnu::noinline]] void ReplyWritten(qelva::PictureFileType type, const qelva::DibImage& image) {
  std::vector<uint8_t>& reply = TheSession().reply;
  try {
    if (!WrittenFile(type, image, reply)) return ReplyWriteFailure(std::string(kMsgFullColourGif));
    // A file is never empty; an empty reply would read as a failure.
    if (reply.empty()) ReplyWriteFailure("empty file");
  } catch (const std::exception& e) {
    std::remove(kWrittenFile);
    ReplyWriteFailure(MessageOf(e));
  }
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const uint8_t* qv_reply_data() { return TheSession().reply.data(); }
EMSCRIPTEN_KEEPALIVE size_t qv_reply_size() { return TheSession().reply.size(); }

// Room for a file's bytes (or a path) that the page fills before handing it over.
EMSCRIPTEN_KEEPALIVE uint8_t* qv_alloc(size_t n) {
  return static_cast<uint8_t*>(std::malloc(n ? n : 1));
}
EMSCRIPTEN_KEEPALIVE void qv_free(uint8_t* p) { std::free(p); }

// Takes the n bytes at `bytes` (from qv_alloc; owned here from now on) as the file at path.
// Returns false, replying with the out-of-memory error, when there is no memory to keep it.
EMSCRIPTEN_KEEPALIVE bool qv_put_file(const char* path, uint8_t* bytes, size_t n) {
  std::unique_ptr<uint8_t, FreeBytes> owned(bytes);
  Session& session = TheSession();
  try {
    ForgetPictures(path);
    HeldFile& held = session.files[path];
    held.bytes = std::move(owned);
    held.size = n;
    qelva::memory_files::Put(path, {held.bytes.get(), n});
    return true;
  } catch (const std::bad_alloc&) {
    session.files.erase(path);
    ReplyText(ErrorReply(qelva::OutOfMemoryError().what()));
    return false;
  }
}

// Forgets one file handed over (the page reads it again when it needs it).
EMSCRIPTEN_KEEPALIVE void qv_drop_file(const char* path) {
  ForgetPictures(path);
  qelva::memory_files::Remove(path);
  TheSession().files.erase(path);
}

// Forgets every file handed over.
EMSCRIPTEN_KEEPALIVE void qv_clear_files() {
  qelva::memory_files::Clear();
  TheSession().files.clear();
  TheSession().pictures.clear();
  TheSession().pictureBytes = 0;
}

// What the converter makes of a file by its name alone, before its bytes are read. Replies
//   {"units":[{"entry":-1|n,"title":"...","out":"<name without extension>"}...],"error":"..."}
// where entry -1 is the file as one picture; no units and no error: a folder's file the converter
// passes over quietly; an error: a file given by name that is no picture. fromFolder says which.
EMSCRIPTEN_KEEPALIVE void qv_plan(const char* path, bool fromFolder) {
  const qelva::GameName name = qelva::DeriveGameName(path, kSyntax);
  const std::string base = qelva::NameWithoutExtension(name.fileName, kSyntax);
  std::string units;
  std::string error;
  if (fromFolder && !qelva::PassesNameGate(name)) {
    // passed over
  } else if (!qelva::PassesNameGate(name) || !qelva::IsArchiveName(name)) {
    units = "{\"entry\":-1,\"out\":" + JsonString(base) + "}";
  } else if (const auto archive = qelva::IdentifyArchive(name.lowerName)) {
    const int count = qelva::ArchiveEntryCount(*archive);
    for (int entry = 0; entry < count; ++entry) {
      if (!units.empty()) units += ",";
      units += "{\"entry\":" + std::to_string(entry) +
               ",\"title\":" + JsonString(TitleOf(*archive, entry)) +
               ",\"out\":" + JsonString(base + "-" + std::to_string(entry)) + "}";
    }
  } else if (!fromFolder) {
    error = std::string(kMsgNotAPicture);
  }
  ReplyText("{\"units\":[" + units + "],\"error\":" + JsonString(error) + "}");
}

// Decodes a picture (entry -1) or an archive entry. On success replies
//   {"ok":true,"width":W,"height":H,"bits":B,"name":"omall.dat[3]","caption":"QelvaView ..."}
// and leaves in the reply buffer, after a NUL, the palette (256 x RGBA) and then the indices,
// top row first; on failure {"ok":false,"message":"..."} (an empty message: no picture, passed
// over in a folder; fromFolder decides whether that message is the converter's "no picture").
EMSCRIPTEN_KEEPALIVE void qv_decode(const char* path, int32_t entry, bool fromFolder) {
  qelva::DibImage decoded;
  std::string decodedPath, message;
  const KeptPicture* kept = FindKept(path, entry);
  if (!kept) {
    if (!Decode(path, entry, decoded, decodedPath, message)) {
      if (message.empty() && !fromFolder) message = std::string(kMsgNotAPicture);
      ReplyText(ErrorReply(message));
      return;
    }
    KeepPicture(path, entry, decoded, decodedPath);
    kept = FindKept(path, entry);
  }
  const qelva::DibImage& image = kept ? kept->image : decoded;
  const std::string& shownPath = kept ? kept->shownPath : decodedPath;
  try {
    const int32_t width = image.Width(), height = image.Height();
    const uint16_t bits = image.BitCount();
    const std::string name = qelva::shell::PictureNameOf(shownPath, kSyntax);
    std::string head = "{\"ok\":true,\"width\":" + std::to_string(width) +
                       ",\"height\":" + std::to_string(height) + ",\"bits\":" + std::to_string(bits) +
                       ",\"name\":" + JsonString(name) + ",\"caption\":" +
                       JsonString(qelva::shell::PictureCaption(name, width, height, bits)) +
                       ",\"kept\":" + (kept ? "true" : "false") + "}";
    std::vector<uint8_t>& reply = TheSession().reply;
    reply.assign(head.begin(), head.end());
    reply.push_back(0);
    // The decoders give 8 bits per pixel and a whole colour table; rows are stored bottom first.
    const uint8_t* table = image.ColourTable();
    for (int i = 0; i < 256; ++i) {
      reply.insert(reply.end(), {table[4 * i + 2], table[4 * i + 1], table[4 * i], 255});
    }
    const uint64_t stride = qelva::DibRowStride(width, bits);
    for (int32_t row = height - 1; row >= 0; --row) {
      const uint8_t* start = image.bits.data() + static_cast<uint64_t>(row) * stride;
      reply.insert(reply.end(), start, start + width);
    }
  } catch (const std::exception& e) {
    ReplyText(ErrorReply(MessageOf(e)));
  }
}

// Starts a "Download all" run: no output name is taken yet.
EMSCRIPTEN_KEEPALIVE void qv_begin_run() { TheSession().claimed.clear(); }

// Writes a picture (entry -1) or an archive entry as a file of the type (0 to 7, in the
// converter's order) and replies with the file's bytes; `target` is its name in the run (empty:
// a single Save, outside any run). On failure replies with a NUL and then the JSON error.
EMSCRIPTEN_KEEPALIVE void qv_write(const char* path, int32_t entry, int type, const char* target) {
  if (type < 0 || type >= qelva::kPictureFileTypeCount) return ReplyWriteFailure("bad type");
  // A picture decoded for the page is written as it was kept; any other is decoded now.
  qelva::DibImage decoded;
  const KeptPicture* kept = FindKept(path, entry);
  if (!kept) {
    std::string shownPath, message;
    if (!Decode(path, entry, decoded, shownPath, message)) {
      return ReplyWriteFailure(message.empty() ? std::string(kMsgNotAPicture) : message);
    }
  }
  const std::string targetName(target);
  if (!targetName.empty() && !TheSession().claimed.insert(targetName).second) {
    return ReplyWriteFailure(qelva::FillMessage(kMsgAlreadyWritten, targetName));
  }
  ReplyWritten(static_cast<qelva::PictureFileType>(type), kept ? kept->image : decoded);
}

// Writes a made-up 8-bit picture of width x height as a file of the type (0 to 7) and replies
// with the file's bytes, or with nothing for a bad type or size, or when there is no memory for it.
// The picture looks as a game picture does to the writers: runs of flat colour, gradients and
// noise, so that a GIF's dictionary fills and starts again and a PNG's filters all take turns.
// The page runs it while it waits for the user, so that the writers' code is compiled to its
// fast tier before the first real file is written; touches no file and no run's names.
EMSCRIPTEN_KEEPALIVE void qv_warm_up(int type, int32_t width, int32_t height) {
  std::vector<uint8_t>& reply = TheSession().reply;
  reply.clear();
  if (type < 0 || type >= qelva::kPictureFileTypeCount) return;
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return;
  try {
    qelva::DibImage image;
    image.info.assign(qelva::kDecoderInfoSize, 0);
    image.info[qelva::dib_field::kSize] = qelva::kDibHeaderSize;
    image.info[qelva::dib_field::kPlanes] = 1;
    image.SetWidth(width);
    image.SetHeight(height);
    image.SetBitCount(8);
    image.SetCompression(qelva::kBiRgb);
    const uint64_t stride = qelva::DibRowStride(width, 8);
    image.SetImageSize(static_cast<uint32_t>(stride * static_cast<uint64_t>(height)));
    uint8_t* table = image.ColourTable();
    for (int i = 0; i < 256; ++i) {
      table[4 * i] = static_cast<uint8_t>(i * 3);
      table[4 * i + 1] = static_cast<uint8_t>(255 - i);
      table[4 * i + 2] = static_cast<uint8_t>(i * 7);
    }
    image.bits.assign(static_cast<size_t>(stride * static_cast<uint64_t>(height)), 0);
    uint32_t noise = 0x9E3779B9u;
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* row = image.bits.data() + static_cast<uint64_t>(y) * stride;
      for (int32_t x = 0; x < width; ++x) {
        noise ^= noise << 13;
        noise ^= noise >> 17;
        noise ^= noise << 5;
        const uint32_t band = static_cast<uint32_t>((x / 24 + y / 16) % 4);
        uint32_t value = band == 0 ? 17u : band == 1 ? static_cast<uint32_t>(x + y) / 3 : band == 2 ? 200u : noise;
        if ((noise & 0xF0) == 0) value += noise >> 24;
        row[x] = static_cast<uint8_t>(value);
      }
    }
    ReplyWritten(static_cast<qelva::PictureFileType>(type), image);
    if (!reply.empty() && reply[0] == 0) reply.clear();  // a failure: nothing
  } catch (const std::exception&) {
    reply.clear();
  }
}

// The out-of-memory message, for the page to show when not even the room for a file was had.
EMSCRIPTEN_KEEPALIVE const char* qv_out_of_memory_text() {
  static const std::string text = qelva::OutOfMemoryError().what();
  return text.c_str();
}

// The extension of a type's files, with its dot.
EMSCRIPTEN_KEEPALIVE const char* qv_extension(int type) {
  if (type < 0 || type >= qelva::kPictureFileTypeCount) return "";
  return qelva::FileExtensionOf(static_cast<qelva::PictureFileType>(type)).data();
}

}  // extern "C"
