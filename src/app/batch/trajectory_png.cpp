#include "app/batch/trajectory_png.h"

#include <cstdio>
#include <fstream>
#include <memory>

#include "app/batch/png_encode.h"

namespace lab {

bool CanWriteFile(const std::string& path) {
  const bool existed = std::ifstream(path).good();
  if (!std::ofstream(path, std::ios::app)) return false;
  if (!existed) std::remove(path.c_str());
  return true;
}

std::string WriteTrajectoryPng(const PixelLayer& picture, const std::string& path) {
  const std::string partial = path + ".partial";
  if (!WritePixelLayerPng(picture, partial)) {
    std::remove(partial.c_str());
    return "cannot write the picture " + path;
  }
  if (std::rename(partial.c_str(), path.c_str()) != 0) {
    std::remove(partial.c_str());
    return "cannot write the picture " + path;
  }
  return "";
}

}  // namespace lab
