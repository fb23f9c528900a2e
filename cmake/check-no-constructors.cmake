# Fails the build when the linker placed anything in a list of start-up constructors: the
# saver has no C runtime start-up code to run them. Run by the product's link with
# -DMAP=<the linker's map file>. A constructor's input section shows in the map as a line of
# its own: the section's name, its address, its size and the object it came from.
file(STRINGS "${MAP}" found REGEX "^ \\.(ctors|init_array|CRT\\$XC|CRT\\$XI|tls)[^ ]*[ ]+0x[0-9a-f]+[ ]+0x[0-9a-f]+ ")
if(found)
    list(JOIN found "\n" lines)
    message(FATAL_ERROR "the saver needs start-up code it does not have:\n${lines}")
endif()
