// Index-level mesh work that needs no device: point representatives, face adjacency and
// the attribute sort. Faces are triangles, three indexes each.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win32/win32.h"

namespace xfile {

constexpr uint32_t kNoNeighbour = 0xFFFFFFFFu;

// Each vertex's representative: the first vertex whose position lies within epsilon on
// every axis. positions: 3 floats per vertex at the given byte stride.
std::vector<uint32_t> ComputePointReps(const uint8_t* vertices, uint32_t numVertices, uint32_t stride, float epsilon);

// Faces sharing an edge (in opposite directions, by representative) become neighbours.
// pointReps may be null (each vertex its own).
void AdjacencyFromPointReps(const uint32_t* indices, uint32_t numFaces, const uint32_t* pointReps,
                            uint32_t numVertices, uint32_t* adjacency);

// Vertices joined across shared edges get one representative (the smallest index).
void PointRepsFromAdjacency(const uint32_t* indices, uint32_t numFaces, const uint32_t* adjacency,
                            uint32_t numVertices, uint32_t* pointReps);

struct AttributeRange {
  uint32_t attribId, faceStart, faceCount, vertexStart, vertexCount;
};

struct AttributeSortResult {
  std::vector<uint32_t> faceRemap;    // new face -> old face
  std::vector<uint32_t> vertexRemap;  // new vertex -> old vertex
  std::vector<uint32_t> indices;      // new indices
  std::vector<uint32_t> attributes;   // per new face
  std::vector<AttributeRange> table;
  std::vector<uint32_t> adjacency;    // remapped, when adjacency was given
};

// Stable sort of faces by attribute; each attribute's vertices are laid out together in
// ascending old order (a vertex used by several attributes is duplicated). Unused vertices
// follow at the end unless compact. False when an index is out of range.
bool SortByAttribute(const uint32_t* indices, const uint32_t* attributes, uint32_t numFaces, uint32_t numVertices,
                     const uint32_t* adjacency, bool compact, AttributeSortResult& out);

}  // namespace xfile
