// __chkstk: called before a function allocates more than a page of stack;
// touches each page in turn so that the guard page grows the stack in
// order. RAX holds the size and is preserved, as is every other register.
__attribute__((naked)) void __chkstk(void) {
  __asm__ volatile(
      "push %rcx\n\t"
      "push %rax\n\t"
      "cmp $0x1000, %rax\n\t"
      "lea 24(%rsp), %rcx\n\t"
      "jb 1f\n"
      "2:\n\t"
      "sub $0x1000, %rcx\n\t"
      "test %rcx, (%rcx)\n\t"
      "sub $0x1000, %rax\n\t"
      "cmp $0x1000, %rax\n\t"
      "ja 2b\n"
      "1:\n\t"
      "sub %rax, %rcx\n\t"
      "test %rcx, (%rcx)\n\t"
      "pop %rax\n\t"
      "pop %rcx\n\t"
      "ret");
}
