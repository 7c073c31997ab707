# Peer for run_write.sh: Spreadsheet::WriteExcel writes TSV lines on stdin as text cells of one sheet.
use strict;
use warnings;
use Encode qw(decode);
use Spreadsheet::WriteExcel;

my $book = Spreadsheet::WriteExcel->new($ARGV[0]) or die "cannot create $ARGV[0]: $!";
my $sheet = $book->add_worksheet();
my $row = 0;
while (my $line = <STDIN>) {
    $line =~ s/\r?\n\z//;
    my $col = 0;
    $sheet->write_string($row, $col++, decode('UTF-8', $_)) for split /\t/, $line, -1;
    $row++;
}
$book->close();
