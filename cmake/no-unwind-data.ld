/* Added to the linker's own script: the prebuilt runtime pieces bring .eh_frame entries that
   nothing reads, since uninstall.exe has no C++ exceptions and no unwinder. */
SECTIONS { /DISCARD/ : { *(.eh_frame) *(.eh_frame$*) } } INSERT AFTER .text;
