// Collapsed sections in HTML the system's own generator (and mail clients
// that copy its HTML) wrote: a block headed by a twistie image, an img
// whose src is "cid:_a_collapse" or whose alt is "Inactive - section
// collapsed". The walk asks whether a table or div is such a section and,
// for a section it builds, reads up to three header texts.
#pragma once

#include <cstdint>

namespace talix {

struct HTMLImportContext;
struct HtmlNode;

// Sizes of the three header texts, terminators included.
constexpr std::uint32_t kSectionTextSize = 64;
constexpr std::uint32_t kSectionTitleSize = 100;

// 1 when node (a table or div) is a collapsed section, else 0. The block
// that holds the section: a table counts only as the first child of a div,
// and then the div is the block; a div whose first child is an img counts
// only as the first child of a div; a div whose first child is an empty span
// followed by a div stands for that div; any other div is the block itself.
// - When the block's first child is a table holding the twistie (a header
//   row), the twistie's cell (the image's parent or grandparent, a td or th)
//   is followed by cells giving the first text (default "Unknown"), the
//   title (default "No subject") and the third text (default empty), each
//   the first text of its cell. A twistie in no cell is no section when
//   first is given.
// - When the block's first child is neither p nor div and the block holds
//   the twistie, the title is the block's first text (default "No
//   subject"); first and third are emptied.
// - When the first child is a p or div that holds the twistie, the same,
//   with the title taken from within that child.
// The texts are written in the platform's own character set, cut without
// splitting a character to their sizes (first and third kSectionTextSize,
// title kSectionTitleSize) and terminated; each buffer may be null, and
// with all three null the call only recognises.
// Whether the subtree below node holds a twistie image at all (no element
// can be a section otherwise).
bool HoldsSectionTwistie(const HtmlNode* node);

int ConvertSectionFromHTML(const HTMLImportContext* import, const HtmlNode* node, char* first, char* title,
                           char* third);

} // namespace talix
