# Run by cpack after it has written the packages (CPACK_POST_BUILD_SCRIPTS).
#
# CPack 3.25 gives the three members of a .deb's outer ar archive the file mode that its own
# umask leaves them, so builds under umask 022 and 002 differ in those bytes although dpkg
# ignores them. Each member header is 60 bytes after the 8-byte "!<arch>\n" magic, with an
# 8-byte mode field at offset 40 and a 10-byte size at 48; members are padded to even length.
# The modes are set to 100644, as dpkg-deb writes them. Perl is part of every Debian system.
set(qx_normalize [=[
open(my $f, "+<", $ARGV[0]) or die "$ARGV[0]: $!\n";
binmode $f;
my $pos = 8;
while ($pos < -s $f) {
  seek($f, $pos, 0); read($f, my $header, 60) == 60 or die "$ARGV[0]: short ar header\n";
  my $size = substr($header, 48, 10) + 0;
  seek($f, $pos + 40, 0); print $f sprintf("%-8s", "100644");
  $pos += 60 + $size + ($size % 2);
}
close($f) or die "$ARGV[0]: $!\n";
]=])
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.deb$")
    execute_process(COMMAND perl -e "${qx_normalize}" "${package}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
