// crvn-window-shot TITLE FILE.png [WAIT_S] [SETTLE_S]: waits up to WAIT_S
// seconds (default 60) for a shown window of the title, lets it run SETTLE_S
// seconds more (default 0), then saves the client area's pixels as the
// screen shows them as a PNG. Exit code 0 when the picture was saved.

#include <windows.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

void appendBigEndian(std::string& out, std::uint32_t value) {
  for (const int shift : {24, 16, 8, 0}) out += static_cast<char>((value >> shift) & 0xFF);
}

void appendChunk(std::string& out, const char* type, const std::string& data) {
  appendBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::string typed = std::string(type, 4) + data;
  out += typed;
  appendBigEndian(out, static_cast<std::uint32_t>(
                           crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()))));
}

// 8-bit RGB rows as a PNG file's bytes.
std::string pngOf(const std::vector<std::uint8_t>& rgb, int width, int height) {
  std::vector<std::uint8_t> rows;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    rows.push_back(0);  // no filter
    const auto* row = &rgb[static_cast<std::size_t>(y) * rowBytes];
    rows.insert(rows.end(), row, row + rowBytes);
  }
  uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
  std::string packed(packedSize, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, rows.data(), static_cast<uLong>(rows.size()), 9);
  packed.resize(packedSize);

  std::string header;
  appendBigEndian(header, static_cast<std::uint32_t>(width));
  appendBigEndian(header, static_cast<std::uint32_t>(height));
  header += std::string{8, 2, 0, 0, 0};  // 8 bits, RGB, deflate, no filter, no interlace
  std::string png = "\x89PNG\r\n\x1a\n";
  appendChunk(png, "IHDR", header);
  appendChunk(png, "IDAT", packed);
  appendChunk(png, "IEND", {});
  return png;
}

// The client area as the screen shows it, as 8-bit RGB rows.
std::vector<std::uint8_t> screenPixels(HWND window, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows top down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(window);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<std::uint8_t> rgb;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint8_t*>(bits);  // blue green red unused
    rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (std::size_t i = 0; i < rgb.size() / 3; ++i) {
      rgb[i * 3] = pixels[i * 4 + 2];
      rgb[i * 3 + 1] = pixels[i * 4 + 1];
      rgb[i * 3 + 2] = pixels[i * 4];
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(window, screen);
  return rgb;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: crvn-window-shot TITLE FILE.png [WAIT_S] [SETTLE_S]\n";
    return 2;
  }
  const std::string title = argv[1];
  const int waitSeconds = argc > 3 ? std::atoi(argv[3]) : 60;
  const int settleSeconds = argc > 4 ? std::atoi(argv[4]) : 0;
  const std::wstring wideTitle(title.begin(), title.end());
  HWND window = nullptr;
  for (int tenths = 0; tenths < waitSeconds * 10; ++tenths) {
    window = FindWindowW(nullptr, wideTitle.c_str());
    if (window != nullptr && IsWindowVisible(window)) break;
    window = nullptr;
    Sleep(100);
  }
  if (window == nullptr) {
    std::cerr << "no window \"" << title << "\" within " << waitSeconds << " s\n";
    return 1;
  }
  Sleep(static_cast<DWORD>(settleSeconds) * 1000);
  RECT client{};
  GetClientRect(window, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  const std::vector<std::uint8_t> rgb = screenPixels(window, width, height);
  if (width <= 0 || height <= 0 || rgb.empty()) {
    std::cerr << "the window's pixels could not be read\n";
    return 1;
  }
  std::ofstream file(argv[2], std::ios::binary);
  file << pngOf(rgb, width, height);
  if (!file.flush()) {
    std::cerr << "cannot write " << argv[2] << "\n";
    return 1;
  }
  std::cout << "saved " << width << " x " << height << " pixels of \"" << title << "\" in " << argv[2] << "\n";
  return 0;
}
