// memory.h: how the program asks the C library to handle the large blocks its meshes live in.
#pragma once

namespace tsv {

// Keeps freed blocks of up to a gigabyte in the process for the next allocation instead of handing
// them back to the system at once. Every mesh operation builds its result in fresh arrays of tens
// or hundreds of megabytes; handed back and asked for again, each such array costs a page fault per
// 4 KB when first written, which on a virtual machine takes longer than the operation itself (a
// simplification of a million triangles ran three times slower). Called once at start-up, before
// the first mesh; without effect where the allocator is not the C library's (sanitizer builds).
void KeepLargeBlocksForReuse();

}  // namespace tsv
