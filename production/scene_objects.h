// What the timeline expects of the scene file: the objects it moves, by their place in the
// scene's list of objects (the file's order, nested objects after their parent). The
// generator lays out its scene by these, and the timeline refuses a scene without them.
#pragma once

#include <cstddef>

namespace tincrates::sceneObjects {

constexpr size_t scaffold = 0;     // turned a quarter turn about x when the production starts
constexpr size_t leadCrate = 1;    // rides the camera's look point; its first group's material
                                   // fades in on the first beat
constexpr size_t firstTumbler = 2; // this one and the next two tumble with the lead crate
constexpr size_t movedCount = 5;   // the scene holds at least these

} // namespace tincrates::sceneObjects
