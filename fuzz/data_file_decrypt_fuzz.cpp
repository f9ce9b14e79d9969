// The decryption of the program's encrypted data files (dbase.enc,
// AIG-regcodes.enc): a file made by the data tool and then cut or changed
// anywhere is refused with std::runtime_error; an untouched one gives back
// exactly its plaintext. Bytes appended after a full-size final chunk are no
// part of the stream and are ignored; after a shorter one they come in the
// same read as the chunk and make it fail.

#include <fuzzer/FuzzedDataProvider.h>

#include "aircraftdata/stream_decrypt.h"
#include "fuzz/support/fuzz_support.h"
#include "tools/datatool/stream_encrypt.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  FuzzedDataProvider input(data, size);
  enum class Damage { None, Cut, Flip, Append, Raw };
  const auto damage = input.PickValueInArray({Damage::None, Damage::Cut, Damage::Flip, Damage::Append, Damage::Raw});
  const std::size_t position = input.ConsumeIntegral<std::uint16_t>();
  const auto flipBits = input.ConsumeIntegralInRange<unsigned>(1, 255);
  const std::string plain = input.ConsumeRemainingBytesAsString();

  std::string file = damage == Damage::Raw ? plain : crv::datatool::encryptBytes(crv::kDataFileKey, plain);
  switch (damage) {
    case Damage::Cut: file.resize(position % file.size()); break;
    case Damage::Flip: file[position % file.size()] = static_cast<char>(file[position % file.size()] ^ flipBits); break;
    case Damage::Append: file += std::string(1 + position % 64, 'x'); break;
    case Damage::None:
    case Damage::Raw: break;
  }
  const auto path = crv::fuzz::scratchFolder() / "data.enc";
  crv::fuzz::writeBytes(path, file);
  std::string decrypted;
  bool refused = false;
  try {
    decrypted = crv::decryptToMemory(crv::kDataFileKey, path);
  } catch (const std::runtime_error&) {
    refused = true;
  }
  const bool fullFinalChunk = !plain.empty() && plain.size() % crv::kDataFileChunkBytes == 0;
  if (damage == Damage::None || (damage == Damage::Append && fullFinalChunk)) {
    require(!refused && decrypted == plain, "an untouched stream gives back its plaintext");
  } else if (damage != Damage::Raw) {
    require(refused, "a damaged file is refused");
  }
  return 0;
}
