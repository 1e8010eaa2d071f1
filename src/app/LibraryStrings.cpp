// The few string members the C++ library's exception classes call, compiled into the exe so
// the linker never takes the library's own copies.
//
// Those copies sit in two objects that hold every member of std::string, one for each of the
// library's two string layouts. The PE linker keeps every .eh_frame whole, and each frame
// names its function, so pulling either object in for one member keeps all of it (and the
// other one, which the first reaches through std::random_device): about 60 KB of code and
// unwind tables the program never runs. A definition already present when the linker gets
// to the library is not looked for there, so these few members are all that is linked.
//
// Both layouts are needed: std::logic_error and its kin keep their message in the old,
// reference-counted string, so a copied exception can share it without throwing, and
// std::system_error builds its message in today's std::string.
//
// Only the exe's size depends on these lists being complete: should a later library call
// another member, its object is linked again and the exe grows back, nothing else. The old
// layout's members are in LibraryStringsCow.cpp, since one file is compiled for one layout.

#include <string>

using SsoString = std::string;

template void SsoString::_M_assign(const SsoString&);
template SsoString::pointer SsoString::_M_create(SsoString::size_type&, SsoString::size_type);
