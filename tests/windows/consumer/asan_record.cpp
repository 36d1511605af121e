// Stands in for what an AddressSanitizer host brings to the link: its
// objects' record that their std::string annotates its buffer
// (annotate_string 1, as Microsoft's STL writes it with
// /fsanitize=address), and the sanitizer runtime's annotation function,
// here one that does nothing (the real runtime is not part of the
// toolchain file). The consumer is compiled with _INSERT_STRING_ANNOTATION,
// so its std::string calls the function as an annotating STL does.
#pragma detect_mismatch("annotate_string", "1")

extern "C" {
void __cdecl __sanitizer_annotate_contiguous_container(const void*, const void*,
                                                       const void*,
                                                       const void*) noexcept {}
extern const bool _Asan_string_should_annotate;
const bool _Asan_string_should_annotate = true;
}
