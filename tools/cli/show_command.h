#pragma once
// `kx470-cli show`: a table file's whole configuration, for people or as JSON.

#include "image/config_image.h"

#include <string>

std::string DescribeImage(const TImageBytes& bytes);
std::string ImageAsJson(const TImageBytes& bytes);
