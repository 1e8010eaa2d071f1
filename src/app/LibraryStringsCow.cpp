// The old, reference-counted std::string's members that the library's exception classes call
// (why they are compiled here: LibraryStrings.cpp).

// This file alone is compiled for the old layout.
#define _GLIBCXX_USE_CXX11_ABI 0
#include <string>

using CowString = std::basic_string<char>;

template char* CowString::_S_construct(CowString::size_type, char, const CowString::allocator_type&);
template void CowString::_Rep::_M_destroy(const CowString::allocator_type&) throw();
template void CowString::_Rep::_M_dispose(const CowString::allocator_type&);
template char* CowString::_Rep::_M_clone(const CowString::allocator_type&, CowString::size_type);
template CowString::_Rep* CowString::_Rep::_S_create(CowString::size_type, CowString::size_type,
                                                     const CowString::allocator_type&);
template void CowString::swap(CowString&);
template CowString& CowString::assign(const CowString&);

